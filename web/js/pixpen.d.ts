// Type declarations for pixpen.mjs: the pixpen library in WebAssembly.

/** A colour: [r, g, b] with integers 0..255, {r, g, b}, '#rgb', '#rrggbb' or a colour name. */
export type ColorLike = readonly [number, number, number] | { r: number; g: number; b: number } | string;
/** 'tga', 'ppm' (P6), 'pnm', 'p6', 'p3', 'png', or a Format value. */
export type FormatLike = 'tga' | 'ppm' | 'pnm' | 'p6' | 'p3' | 'png' | number;

/** The library's status codes; the numbers are stable. */
export declare const Status: Readonly<{
  OK: 0;
  CANNOT_OPEN: 1;
  UNSUPPORTED_FORMAT: 2;
  UNSUPPORTED_VARIANT: 3;
  BAD_HEADER: 4;
  TRUNCATED: 5;
  TOO_LARGE: 6;
  OUT_OF_MEMORY: 7;
  IO: 8;
  BAD_ARGUMENT: 9;
}>;

/** The encoded forms; the numbers are stable. */
export declare const Format: Readonly<{ TGA: 1; PPM_ASCII: 2; PPM_BINARY: 3; PNG: 4 }>;

/** A failure of the library, with its status and the library's message. */
export declare class PixpenError extends Error {
  constructor(status: number, message: string);
  readonly status: number;
}

/** An image or turtle used after close(). */
export declare class ClosedImageError extends PixpenError {}

/** [r, g, b] from any ColorLike; TypeError for anything else. */
export declare function toRgb(color: ColorLike): [number, number, number];

/** One recorded library call: [function name, signature, ...arguments]. */
export type RecordedCall = [string, string, ...unknown[]];
/** Calls `record` for every drawing call into the library from now on; null stops. */
export declare function recordCalls(record: ((call: RecordedCall) => void) | null): void;

/** A 24-bit RGB picture in the module's memory, with the library's whole-pixel turtle. */
export declare class Image {
  /** A black width x height image; its turtle in the middle, facing up, pen down, white. PixpenError if the size is refused. */
  constructor(width: number, height: number);
  /** A new image from TGA or PPM bytes; the format is recognised when omitted. */
  static decode(data: ArrayBuffer | ArrayBufferView, format?: 'tga' | 'ppm' | 'pnm' | 'p3' | 'p6'): Image;

  /** Frees the image now; later calls do nothing. Unclosed images are freed when collected, if ever. */
  close(): void;
  readonly closed: boolean;
  /** The record's address in the module's memory. */
  readonly handle: number;
  /** Names this image in recorded calls. */
  readonly id: number;
  readonly width: number;
  readonly height: number;
  readonly size: [number, number];
  /**
   * The pixels, 3 bytes (r, g, b) each, row 0 first: a view into the module's
   * memory, not a copy. It goes dead (length 0) when the memory grows, which
   * any call that allocates may do: ask for it again then.
   */
  readonly pixels: Uint8ClampedArray;
  /** The pixels as RGBA (a copy, alpha 255), an ImageData where the platform has one. */
  toImageData(): ImageData | { data: Uint8ClampedArray; width: number; height: number };
  /** [r, g, b] at (x, y); RangeError outside the image. */
  getPixel(x: number, y: number): [number, number, number];

  pixel(x: number, y: number, color: ColorLike): void;
  line(x0: number, y0: number, x1: number, y1: number, color: ColorLike): void;
  clear(color?: ColorLike): void;
  invert(): void;
  reverseRgb(): void;

  /** The whole-pixel turtle's position. */
  readonly position: [number, number];
  /** Its heading in whole degrees, counter-clockwise, 90 = up. */
  readonly heading: number;
  readonly isDown: boolean;
  color: [number, number, number];
  /** false, changing nothing, if the end point is outside the image. */
  forward(distance: number): boolean;
  backward(distance: number): boolean;
  left(degrees: number): void;
  right(degrees: number): void;
  faceNorth(): void;
  penUp(): void;
  penDown(): void;
  setColor(color: ColorLike): void;
  /** false, staying put, if (x, y) is not a pixel. */
  moveTo(x: number, y: number): boolean;
  /** false unless 0 <= x <= width and 0 <= y <= height. */
  setPosition(x: number, y: number): boolean;

  /** File bytes in `format`; PNG throws UNSUPPORTED_FORMAT in this build (use encodePNG). */
  encode(format: FormatLike): Uint8Array;
  /** PNG bytes: the library's encoder where built in, else the browser's canvas encoder. */
  encodePNG(): Promise<Uint8Array>;
}

/** A turtle colour: a ColorLike string, or channels in the turtle's colormode (0..1 or 0..255). */
export type TurtleColor = string | readonly [number, number, number];

/**
 * The standard turtle module's drawing turtle on an Image: origin at the
 * centre, y up, degrees counter-clockwise from east, doubles throughout;
 * moves outside the image are clipped, never refused.
 */
export declare class Turtle {
  constructor(image: Image);
  close(): void;
  readonly closed: boolean;
  readonly handle: number;
  readonly id: number;
  readonly image: Image;

  forward(distance: number): void;
  fd(distance: number): void;
  backward(distance: number): void;
  bk(distance: number): void;
  back(distance: number): void;
  left(angle: number): void;
  lt(angle: number): void;
  right(angle: number): void;
  rt(angle: number): void;
  goto(x: number | readonly [number, number], y?: number): void;
  setpos(x: number | readonly [number, number], y?: number): void;
  setposition(x: number | readonly [number, number], y?: number): void;
  setx(x: number): void;
  sety(y: number): void;
  setheading(angle: number): void;
  seth(angle: number): void;
  home(): void;
  circle(radius: number, extent?: number, steps?: number | null): void;
  dot(size?: number | null, ...color: TurtleColor[] | number[]): void;

  penup(): void;
  pu(): void;
  up(): void;
  pendown(): void;
  pd(): void;
  down(): void;
  isdown(): boolean;
  pensize(): number;
  pensize(width: number): void;
  width(): number;
  width(width: number): void;
  pencolor(): [number, number, number];
  pencolor(color: TurtleColor): void;
  pencolor(r: number, g: number, b: number): void;
  fillcolor(): [number, number, number];
  fillcolor(color: TurtleColor): void;
  fillcolor(r: number, g: number, b: number): void;
  color(): [[number, number, number], [number, number, number]];
  color(color: TurtleColor): void;
  color(pen: TurtleColor, fill: TurtleColor): void;
  color(r: number, g: number, b: number): void;
  colormode(): number;
  colormode(mode: 1 | 255): void;
  begin_fill(): void;
  beginFill(): void;
  end_fill(): void;
  endFill(): void;
  filling(): boolean;

  position(): [number, number];
  pos(): [number, number];
  xcor(): number;
  ycor(): number;
  heading(): number;
  distance(x: number | readonly [number, number] | Turtle, y?: number): number;
  towards(x: number | readonly [number, number] | Turtle, y?: number): number;

  speed(...args: unknown[]): void;
  hideturtle(): void;
  ht(): void;
  showturtle(): void;
  st(): void;
  isvisible(): boolean;
  shape(...args: unknown[]): void;
  shapesize(...args: unknown[]): void;
  turtlesize(...args: unknown[]): void;
  /** Draws nothing (no text yet); warns once. */
  write(...args: unknown[]): void;
}

/** A white width x height picture for turtles (default 400 x 400), origin in the middle. */
export declare class Screen {
  constructor(width?: number, height?: number);
  readonly image: Image;
  readonly turtles: Turtle[];
  turtle(): Turtle;
  /** Paints the whole picture: what was drawn is covered. */
  bgcolor(color: ColorLike): void;
  close(): void;
}

export declare function decode(data: ArrayBuffer | ArrayBufferView, format?: 'tga' | 'ppm' | 'pnm' | 'p3' | 'p6'): Image;
export declare function encode(image: Image, format: FormatLike): Uint8Array;
/** The library's version, "MAJOR.MINOR.PATCH". */
export declare const version: string;
