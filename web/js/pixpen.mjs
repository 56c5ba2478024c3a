// pixpen for JavaScript: the C library compiled to WebAssembly, with the
// names of the Python package. Works in browsers, workers and Node (>= 18).
//
//   import { Image } from './pixpen.mjs';
//   const image = new Image(200, 200);
//   for (let i = 0; i < 5; i++) { image.forward(80); image.left(144); }
//   const ppm = image.encode('ppm');
//   image.close();
//
// Images live in the module's memory, not in JavaScript's heap: close() frees
// one at once; an image dropped without close() is freed when the garbage
// collector reports it, which may be late or never.
import createPixpenModule from './pixpen_wasm.mjs';

const wasm = await createPixpenModule();

/** The library's status codes (PixpenStatus); the numbers are stable. */
export const Status = Object.freeze({
  OK: 0,
  CANNOT_OPEN: 1,
  UNSUPPORTED_FORMAT: 2,
  UNSUPPORTED_VARIANT: 3,
  BAD_HEADER: 4,
  TRUNCATED: 5,
  TOO_LARGE: 6,
  OUT_OF_MEMORY: 7,
  IO: 8,
  BAD_ARGUMENT: 9,
});

/** The encoded forms (ImageFormat); the numbers are stable. */
export const Format = Object.freeze({ TGA: 1, PPM_ASCII: 2, PPM_BINARY: 3, PNG: 4 });

const FORMAT_NAMES = {
  tga: Format.TGA,
  ppm: Format.PPM_BINARY,
  pnm: Format.PPM_BINARY,
  p6: Format.PPM_BINARY,
  p3: Format.PPM_ASCII,
  png: Format.PNG,
};
const DECODERS = { tga: 'decode_tga', ppm: 'decode_ppm', pnm: 'decode_ppm', p3: 'decode_ppm', p6: 'decode_ppm' };

/** A failure of the library: `status` is a Status value, `message` its reason. */
export class PixpenError extends Error {
  constructor(status, message) {
    super(message);
    this.name = 'PixpenError';
    this.status = status;
  }
}

/** An image used after close(). */
export class ClosedImageError extends PixpenError {
  constructor() {
    super(Status.BAD_ARGUMENT, 'the image is closed');
    this.name = 'ClosedImageError';
  }
}

// ---- calls into the module ---------------------------------------------------
// Each C function is called through its signature: the result and argument
// kinds, 'v' void, 'b' bool, 'p' an image, 'i' int, 'd' double, 'c' a Color
// and the kinds below.
// A Color is passed by value in C, which the wasm ABI turns into a pointer to
// a copy: colours go through scratch memory allocated once.
const SIGNATURES = {
  do_pixel: 'v:piic',
  do_line: 'v:piiiic',
  do_clear: 'v:pc',
  do_invert: 'v:p',
  do_reverse_rgb: 'v:p',
  turtle_set_xy: 'b:pii',
  turtle_move: 'b:pii',
  turtle_forward: 'b:pi',
  turtle_face_north: 'v:p',
  turtle_left: 'v:pi',
  turtle_right: 'v:pi',
  turtle_pen_up: 'v:p',
  turtle_pen_down: 'v:p',
  turtle_set_color: 'v:pc',
  // Shapes; 'a' is a point array, passed to C as (PixpenPoint *, size_t).
  do_thick_line: 'v:piiiiic',
  do_polygon: 'v:pac',
  do_fill_polygon: 'v:pac',
  do_circle: 'v:piiic',
  do_fill_circle: 'v:piiic',
  // The fractional turtle: 't' is its record, 'P' an image or none.
  pixpen_turtle_init: 'v:tP',
  pixpen_turtle_forward: 'b:tPd',
  pixpen_turtle_goto: 'b:tPdd',
  pixpen_turtle_circle: 'b:tPddi',
  pixpen_turtle_left: 'v:td',
  pixpen_turtle_right: 'v:td',
  pixpen_turtle_set_heading: 'v:td',
  pixpen_turtle_pen_up: 'v:t',
  pixpen_turtle_pen_down: 'v:t',
  pixpen_turtle_set_width: 'v:td',
  pixpen_turtle_set_pen_color: 'v:tc',
  pixpen_turtle_set_fill_color: 'v:tc',
  pixpen_turtle_dot: 'v:tPdc',
  pixpen_turtle_begin_fill: 'b:t',
  pixpen_turtle_end_fill: 'b:tP',
};

const COLOR_SLOTS = 2;
const ERROR_SIZE = 132;
const scratch = wasm._malloc(COLOR_SLOTS * 4 + ERROR_SIZE + 8);
const errorAddress = scratch + COLOR_SLOTS * 4;
const outAddress = errorAddress + ERROR_SIZE; // uint8_t **data, size_t *size

// Memory may grow during any call that allocates, which replaces the buffer:
// every access asks for the current one.
const heap = () => wasm.HEAPU8;
const words = () => new Int32Array(wasm.HEAPU8.buffer);

let recorder = null;

/**
 * Calls `record(entry)` for every drawing call made into the library from now
 * on, with entry = [function name, signature, ...arguments] (an image as its
 * id, a colour as [r, g, b]); null stops. The same entries replayed through
 * the native library draw the same pixels.
 */
export function recordCalls(record) {
  recorder = record;
}

// Objects (images, turtles) are passed as themselves: their address goes to
// C, their id to the recorder. Every drawing call goes through here, so it
// allocates nothing but the argument list.
const KIND_COLOR = 'c'.charCodeAt(0);
const OBJECT_KINDS = new Set(['p', 't', 'P'].map((kind) => kind.charCodeAt(0)));

function record(name, signature, args) {
  recorder([name, signature, ...args.map((value, i) => {
    const kind = signature.charCodeAt(i + 2);
    if (OBJECT_KINDS.has(kind)) return value ? value.id : 0;
    return kind === KIND_COLOR || kind === KIND_POINTS ? Array.from(value) : value;
  })]);
}

const KIND_POINTS = 'a'.charCodeAt(0);
const RESULT_BOOL = 'b'.charCodeAt(0);

// Each signature taken apart once, not on every call: every argument kind
// becomes the function that turns a value into what the export takes. The
// drawing calls are made by the thousand (a turtle program is mostly
// forward() and left()), so a call must cost little beside the C it runs.
const passValue = (value) => value;
const passObject = (value) => (value ? value.handle : 0);

function colorArgument(slot) {
  const address = scratch + 4 * slot;
  return (value) => {
    const bytes = wasm.HEAPU8;
    bytes[address] = value[0];
    bytes[address + 1] = value[1];
    bytes[address + 2] = value[2];
    return address;
  };
}

function argumentConverters(kinds) {
  let colors = 0;
  return kinds.map((kind) => {
    if (kind === KIND_COLOR) return colorArgument(colors++);
    return OBJECT_KINDS.has(kind) ? passObject : passValue;
  });
}

// Module._f is, until its first call, emscripten's stand-in, which looks the
// export up and puts the raw one in its own place (newer emscriptens set the
// raw one at once). The function is therefore read once more after the first
// call and kept: no lookup among the module's many properties on every call.
// Fixed arities, without an argument list: rest parameters and spread calls
// cost more than a short line's pixels.
function directInvoker(exported, kinds) {
  const converters = argumentConverters(kinds);
  const [c0, c1, c2, c3, c4, c5, c6] = converters;
  let f = (...raw) => {
    const result = wasm[exported](...raw);
    f = wasm[exported];
    return result;
  };
  switch (converters.length) {
    case 1: return (a0) => f(c0(a0));
    case 2: return (a0, a1) => f(c0(a0), c1(a1));
    case 3: return (a0, a1, a2) => f(c0(a0), c1(a1), c2(a2));
    case 4: return (a0, a1, a2, a3) => f(c0(a0), c1(a1), c2(a2), c3(a3));
    case 5: return (a0, a1, a2, a3, a4) => f(c0(a0), c1(a1), c2(a2), c3(a3), c4(a4));
    case 6: return (a0, a1, a2, a3, a4, a5) => f(c0(a0), c1(a1), c2(a2), c3(a3), c4(a4), c5(a5));
    case 7: return (a0, a1, a2, a3, a4, a5, a6) =>
      f(c0(a0), c1(a1), c2(a2), c3(a3), c4(a4), c5(a5), c6(a6));
    default: throw new Error(`${exported}: call() passes at most seven arguments, not ${converters.length}`);
  }
}

// A point array becomes two arguments, (PixpenPoint *, size_t), in memory
// allocated for the call and freed after it.
function pointsInvoker(exported, kinds) {
  const converters = argumentConverters(kinds);
  return (...args) => {
    const raw = [];
    let points = 0;
    try {
      for (let i = 0; i < kinds.length; i++) {
        if (kinds[i] === KIND_POINTS) {
          points = copyPoints(args[i]);
          raw.push(points, args[i].length / 2);
        } else {
          raw.push(converters[i](args[i]));
        }
      }
      return wasm[exported](...raw);
    } finally {
      if (points) wasm._free(points);
    }
  };
}

const FUNCTIONS = Object.fromEntries(Object.entries(SIGNATURES).map(([name, signature]) => {
  const kinds = Array.from(signature.slice(2), (kind) => kind.charCodeAt(0));
  const exported = `_${name}`;
  return [name, {
    signature,
    arity: kinds.length,
    invoke: kinds.includes(KIND_POINTS) ? pointsInvoker(exported, kinds) : directInvoker(exported, kinds),
    bool: signature.charCodeAt(0) === RESULT_BOOL,
  }];
}));

// Named parameters rather than a rest list, which would be an array made on
// every call; no signature has more than seven arguments.
function call(name, a0, a1, a2, a3, a4, a5, a6) {
  const { signature, arity, invoke, bool } = FUNCTIONS[name];
  if (recorder) record(name, signature, [a0, a1, a2, a3, a4, a5, a6].slice(0, arity));
  const result = invoke(a0, a1, a2, a3, a4, a5, a6);
  return bool ? result !== 0 : undefined;
}

// Flat x, y pairs into PixpenPoint records in the module's memory.
function copyPoints(flat) {
  const address = wasm._malloc(Math.max(flat.length * 4, 4));
  if (!address) throw new PixpenError(Status.OUT_OF_MEMORY, `no memory for ${flat.length / 2} points`);
  new Int32Array(wasm.HEAPU8.buffer, address, flat.length).set(flat);
  return address;
}

function readError() {
  const status = words()[errorAddress >> 2];
  const bytes = heap().subarray(errorAddress + 4, errorAddress + ERROR_SIZE);
  const end = bytes.indexOf(0);
  return new PixpenError(status, new TextDecoder().decode(bytes.subarray(0, end < 0 ? 127 : end)));
}

// ---- arguments -----------------------------------------------------------------

function integer(value, name) {
  if ((value | 0) !== value) {
    throw new TypeError(`${name} must be a 32-bit integer, not ${String(value)}`);
  }
  return value;
}

function finite(value, name) {
  if (typeof value !== 'number' || !Number.isFinite(value)) {
    throw new TypeError(`${name} must be a finite number, not ${String(value)}`);
  }
  return value;
}

// Colour names as the standard turtle knows them (Tk's X11 names), the most
// used of them; anything else is given as '#rrggbb' or [r, g, b].
const COLOR_NAMES = {
  black: '000000', white: 'ffffff', red: 'ff0000', green: '00ff00', blue: '0000ff',
  yellow: 'ffff00', cyan: '00ffff', magenta: 'ff00ff', orange: 'ffa500', purple: 'a020f0',
  pink: 'ffc0cb', brown: 'a52a2a', gray: 'bebebe', grey: 'bebebe', gold: 'ffd700',
  violet: 'ee82ee', navy: '000080', maroon: 'b03060', olive: '808000', teal: '008080',
  lime: '32cd32', indigo: '4b0082', turquoise: '40e0d0', salmon: 'fa8072', coral: 'ff7f50',
  crimson: 'dc143c', silver: 'c0c0c0', tan: 'd2b48c', beige: 'f5f5dc', khaki: 'f0e68c',
  lightblue: 'add8e6', darkblue: '00008b', lightgreen: '90ee90', darkgreen: '006400',
  forestgreen: '228b22', skyblue: '87ceeb', darkred: '8b0000', orchid: 'da70d6',
  chocolate: 'd2691e', firebrick: 'b22222', lavender: 'e6e6fa', darkorange: 'ff8c00',
  steelblue: '4682b4', seagreen: '2e8b57', royalblue: '4169e1', hotpink: 'ff69b4',
  deeppink: 'ff1493', yellowgreen: '9acd32', springgreen: '00ff7f', sienna: 'a0522d',
};

/**
 * A colour as [r, g, b] from [r, g, b], {r, g, b}, '#rgb', '#rrggbb' or a
 * colour name; channels are integers 0..255. TypeError otherwise.
 */
export function toRgb(color) {
  if (Array.isArray(color) && color.length === 3 &&
      (color[0] & 255) === color[0] && (color[1] & 255) === color[1] && (color[2] & 255) === color[2]) {
    return color;
  }
  if (typeof color === 'string') {
    const name = color.trim().toLowerCase().replace(/\s+/g, '');
    let hex = COLOR_NAMES[name] ?? (name.startsWith('#') ? name.slice(1) : null);
    if (hex && /^[0-9a-f]{3}$/.test(hex)) hex = hex.replace(/./g, '$&$&');
    if (!hex || !/^[0-9a-f]{6}$/.test(hex)) throw new TypeError(`unknown colour ${JSON.stringify(color)}`);
    return [0, 2, 4].map((i) => parseInt(hex.slice(i, i + 2), 16));
  }
  const channels = Array.isArray(color) || ArrayBuffer.isView(color)
    ? Array.from(color)
    : color && typeof color === 'object' ? [color.r, color.g, color.b] : null;
  if (!channels || channels.length !== 3 || !channels.every((v) => Number.isInteger(v) && v >= 0 && v <= 255)) {
    throw new TypeError(`a colour is [r, g, b] with integers 0..255, '#rrggbb' or a name, not ${String(color)}`);
  }
  return channels;
}

/**
 * Polygon vertices as flat x, y pairs (an Int32Array) from [[x, y], ...],
 * [{x, y}, ...] or flat pairs; TypeError unless every coordinate is a
 * 32-bit integer.
 */
function toPoints(points) {
  const list = Array.from(points ?? [], (point) =>
    typeof point === 'number' ? point : Array.isArray(point) ? point : [point?.x, point?.y]);
  const flat = Int32Array.from(list.flat(), (v) => integer(v, 'a point coordinate'));
  if (flat.length % 2 !== 0 || list.some((point) => Array.isArray(point) && point.length !== 2)) {
    throw new TypeError('points are [x, y] pairs, {x, y} objects or flat x, y numbers');
  }
  return flat;
}

function writingFormat(format) {
  if (typeof format === 'string') {
    const chosen = FORMAT_NAMES[format.toLowerCase()];
    if (chosen === undefined) {
      throw new TypeError(`unknown format ${JSON.stringify(format)}: one of ${Object.keys(FORMAT_NAMES).join(', ')}`);
    }
    return chosen;
  }
  if (Object.values(Format).includes(format)) return format;
  throw new TypeError(`format must be 'tga', 'ppm', 'p3', 'p6', 'png' or a Format, not ${String(format)}`);
}

// ---- images ----------------------------------------------------------------------

// A last resort for images nobody closed. close() unregisters, so a handle is
// never freed twice.
const finalizer = new FinalizationRegistry((handle) => wasm._destroy_image(handle));
// Ids name images and turtles in recorded calls; one sequence for both.
let nextId = 1;
// Lets decode() wrap a record the library made, through the one constructor.
const ADOPT = Symbol('adopt');

/** A 24-bit RGB picture in the module's memory, with the library's whole-pixel turtle. */
export class Image {
  #handle = 0;

  /** A black width x height image; its turtle in the middle, facing up, pen down, white. PixpenError if the library refuses the size (negative, too large, no memory). */
  constructor(width, height) {
    if (width === ADOPT) {
      this.#adopt(height);
      return;
    }
    integer(width, 'width');
    integer(height, 'height');
    // The library gives the reason for a refused size: negative, too large, no memory.
    const handle = wasm._create_image_checked(width, height, errorAddress);
    if (!handle) throw readError();
    this.#adopt(handle);
    if (recorder) recorder(['create_image', 'p:ii', this.id, width, height]);
  }

  #adopt(handle) {
    this.#handle = handle;
    this.id = nextId++;
    finalizer.register(this, handle, this);
  }

  /** Frees the image's memory now; later calls do nothing. */
  close() {
    if (!this.#handle) return;
    finalizer.unregister(this);
    wasm._destroy_image(this.#handle);
    this.#handle = 0;
  }

  get closed() {
    return this.#handle === 0;
  }

  /** The address of the image record in the module's memory. */
  get handle() {
    if (!this.#handle) throw new ClosedImageError();
    return this.#handle;
  }

  #field(offset) {
    return words()[(this.handle + offset) >> 2];
  }

  get width() { return this.#field(4); }
  get height() { return this.#field(8); }
  get size() { return [this.width, this.height]; }

  /**
   * The pixels, row 0 first, 3 bytes (r, g, b) each: a view into the module's
   * memory, not a copy. Writes through it change the image. The view goes
   * dead (length 0) when the module's memory grows, which any call that
   * allocates (a new image, encode, decode) may do: ask for it again then.
   */
  get pixels() {
    const length = this.width * this.height * 3;
    return new Uint8ClampedArray(wasm.HEAPU8.buffer, this.#field(0), length);
  }

  /** The pixels as RGBA for a canvas (a copy, alpha 255); an ImageData where the platform has it. */
  toImageData() {
    const [width, height] = this.size;
    const rgb = this.pixels;
    const rgba = new Uint8ClampedArray(width * height * 4);
    for (let i = 0, j = 0; i < rgb.length; i += 3, j += 4) {
      rgba[j] = rgb[i];
      rgba[j + 1] = rgb[i + 1];
      rgba[j + 2] = rgb[i + 2];
      rgba[j + 3] = 255;
    }
    if (typeof ImageData === 'function' && width > 0 && height > 0) return new ImageData(rgba, width, height);
    return { data: rgba, width, height };
  }

  /** The colour at (x, y) as [r, g, b]; RangeError outside the image. */
  getPixel(x, y) {
    integer(x, 'x');
    integer(y, 'y');
    if (x < 0 || y < 0 || x >= this.width || y >= this.height) {
      throw new RangeError(`(${x}, ${y}) is outside the ${this.width} x ${this.height} image`);
    }
    const start = (y * this.width + x) * 3;
    return Array.from(this.pixels.subarray(start, start + 3));
  }

  // ---- drawing ----------------------------------------------------------------

  /** Sets pixel (x, y); points outside the image are ignored. */
  pixel(x, y, color) {
    call('do_pixel', this, integer(x, 'x'), integer(y, 'y'), toRgb(color));
  }

  /** The Bresenham line from (x0, y0) to (x1, y1), ends included, clipped to the image. */
  line(x0, y0, x1, y1, color) {
    call('do_line', this, integer(x0, 'x0'), integer(y0, 'y0'), integer(x1, 'x1'), integer(y1, 'y1'), toRgb(color));
  }

  /** Every pixel whose centre is within width / 2 of the segment (round caps); width <= 1 is line(). */
  thickLine(x0, y0, x1, y1, width, color) {
    call('do_thick_line', this, integer(x0, 'x0'), integer(y0, 'y0'), integer(x1, 'x1'), integer(y1, 'y1'),
      integer(width, 'width'), toRgb(color));
  }

  /** line() along every edge of the polygon, the closing edge too. */
  polygon(points, color) {
    call('do_polygon', this, toPoints(points), toRgb(color));
  }

  /** The polygon's inside by the even-odd rule, with its edges. */
  fillPolygon(points, color) {
    call('do_fill_polygon', this, toPoints(points), toRgb(color));
  }

  /** The midpoint circle of radius around (cx, cy); a negative radius draws nothing. */
  circle(cx, cy, radius, color) {
    call('do_circle', this, integer(cx, 'cx'), integer(cy, 'cy'), integer(radius, 'radius'), toRgb(color));
  }

  /** Every pixel with (x - cx)² + (y - cy)² <= radius² + radius. */
  fillCircle(cx, cy, radius, color) {
    call('do_fill_circle', this, integer(cx, 'cx'), integer(cy, 'cy'), integer(radius, 'radius'), toRgb(color));
  }

  /** Sets every pixel to color (black when omitted). */
  clear(color = [0, 0, 0]) {
    call('do_clear', this, toRgb(color));
  }

  /** Replaces every channel value v by 255 - v. */
  invert() {
    call('do_invert', this);
  }

  /** Swaps red and blue in every pixel. */
  reverseRgb() {
    call('do_reverse_rgb', this);
  }

  // ---- the whole-pixel turtle ---------------------------------------------------

  /** [x, y] of the turtle. */
  get position() { return [this.#field(12), this.#field(16)]; }
  /** Heading in whole degrees, counter-clockwise, 90 = up; never normalised. */
  get heading() { return this.#field(20); }
  get isDown() { return heap()[this.handle + 24] !== 0; }
  /** The turtle's colour as [r, g, b]; set it with a colour. */
  get color() { return Array.from(heap().subarray(this.handle + 25, this.handle + 28)); }
  set color(value) { this.setColor(value); }

  /** Moves distance pixels along the heading, drawing when the pen is down; false, changing nothing, if the end is outside. */
  forward(distance) {
    return call('turtle_forward', this, integer(distance, 'distance'));
  }

  backward(distance) {
    return this.forward(-integer(distance, 'distance'));
  }

  left(degrees) {
    call('turtle_left', this, integer(degrees, 'degrees'));
  }

  right(degrees) {
    call('turtle_right', this, integer(degrees, 'degrees'));
  }

  faceNorth() {
    call('turtle_face_north', this);
  }

  penUp() {
    call('turtle_pen_up', this);
  }

  penDown() {
    call('turtle_pen_down', this);
  }

  setColor(color) {
    call('turtle_set_color', this, toRgb(color));
  }

  /** Moves to pixel (x, y), drawing when the pen is down; false, staying put, if (x, y) is not a pixel. */
  moveTo(x, y) {
    return call('turtle_move', this, integer(x, 'x'), integer(y, 'y'));
  }

  /** Places the turtle without drawing; 0 <= x <= width, 0 <= y <= height; false otherwise. */
  setPosition(x, y) {
    return call('turtle_set_xy', this, integer(x, 'x'), integer(y, 'y'));
  }

  // ---- encoding ---------------------------------------------------------------

  /**
   * The image as file bytes (a new Uint8Array): format 'tga', 'ppm' (P6),
   * 'p3', 'png' or a Format. This build has no PNG compressor: 'png' throws
   * a PixpenError with Status.UNSUPPORTED_FORMAT; use encodePNG().
   */
  encode(format) {
    const chosen = writingFormat(format);
    const handle = this.handle;
    if (!wasm._encode_image(handle, chosen, outAddress, outAddress + 4, errorAddress)) throw readError();
    const address = words()[outAddress >> 2];
    const size = words()[(outAddress + 4) >> 2] >>> 0;
    const bytes = heap().slice(address, address + size);
    wasm._free_buffer(address);
    return bytes;
  }

  /**
   * The image as PNG bytes: the library's encoder where it has one, else the
   * platform's canvas encoder (browsers and workers), which writes the same
   * pixels losslessly. A PixpenError with Status.UNSUPPORTED_FORMAT where
   * neither exists (Node).
   */
  async encodePNG() {
    try {
      return this.encode(Format.PNG);
    } catch (error) {
      if (!(error instanceof PixpenError) || error.status !== Status.UNSUPPORTED_FORMAT) throw error;
      if (typeof OffscreenCanvas !== 'function' || this.width === 0 || this.height === 0) throw error;
    }
    const canvas = new OffscreenCanvas(this.width, this.height);
    canvas.getContext('2d').putImageData(this.toImageData(), 0, 0);
    const blob = await canvas.convertToBlob({ type: 'image/png' });
    return new Uint8Array(await blob.arrayBuffer());
  }

  /**
   * A new image from TGA or PPM bytes; format 'tga', 'ppm' (P3 or P6) or
   * omitted to recognise it from the first bytes. PixpenError on failure.
   */
  static decode(data, format) {
    const bytes = data instanceof Uint8Array ? data : new Uint8Array(ArrayBuffer.isView(data) ? data.buffer : data);
    const decoder = format === undefined ? 'decode_image' : DECODERS[String(format).toLowerCase()];
    if (!decoder) throw new TypeError(`cannot decode ${JSON.stringify(format)}: 'tga', 'ppm' or none`);
    const address = wasm._malloc(Math.max(bytes.length, 1));
    if (!address) throw new PixpenError(Status.OUT_OF_MEMORY, `no memory for ${bytes.length} bytes`);
    try {
      heap().set(bytes, address);
      const handle = wasm['_' + decoder](address, bytes.length, errorAddress);
      if (!handle) throw readError();
      return new Image(ADOPT, handle);
    } finally {
      wasm._free(address);
    }
  }

  toString() {
    return this.closed ? '<pixpen.Image closed>' : `<pixpen.Image ${this.width} x ${this.height}>`;
  }
}

// ---- the fractional turtle ----------------------------------------------------

// PixpenTurtle in wasm32: x, y, heading, pen_width (doubles at 0, 8, 16, 24),
// then the colours, flags and the path pointer; 48 bytes with its alignment.
const TURTLE_SIZE = 48;
const PEN_COLOR = 32;
const FILL_COLOR = 35;
const PEN_DOWN = 38;
const FILLING = 39;
const turtleFinalizer = new FinalizationRegistry((address) => {
  wasm._pixpen_turtle_release(address);
  wasm._free(address);
});
const doubles = () => new Float64Array(wasm.HEAPU8.buffer);

/**
 * The standard turtle module's drawing turtle, on an Image: origin at the
 * image's centre, y up, headings in degrees counter-clockwise from east,
 * positions and headings kept as doubles. Moves leave the image freely; what
 * falls outside is clipped. The pen starts black, 1 pixel wide, as the
 * standard module's does; colours in colormode 1.0 unless colormode(255).
 */
export class Turtle {
  #address = 0;
  #image;
  #origin;
  #colormode = 1.0;

  constructor(image) {
    if (!(image instanceof Image)) throw new TypeError('a Turtle draws on a pixpen Image');
    image.handle; // a closed image throws here
    const address = wasm._malloc(TURTLE_SIZE);
    if (!address) throw new PixpenError(Status.OUT_OF_MEMORY, 'no memory for a turtle');
    this.#address = address;
    this.#image = image;
    this.id = nextId++;
    turtleFinalizer.register(this, address, this);
    call('pixpen_turtle_init', this, image);
    this.#origin = [this.#double(0), this.#double(8)];
    this.color('black');
  }

  /** Frees the turtle (an open fill is dropped); later calls do nothing. */
  close() {
    if (!this.#address) return;
    turtleFinalizer.unregister(this);
    wasm._pixpen_turtle_release(this.#address);
    wasm._free(this.#address);
    this.#address = 0;
  }

  get closed() { return this.#address === 0; }

  /** The address of the turtle's record in the module's memory. */
  get handle() {
    if (!this.#address) throw new PixpenError(Status.BAD_ARGUMENT, 'the turtle is closed');
    return this.#address;
  }

  get image() { return this.#image; }

  #double(offset) { return doubles()[(this.handle + offset) >> 3]; }
  #byte(offset) { return heap()[this.handle + offset]; }

  #pixel(x, y) { return [this.#origin[0] + finite(x, 'x'), this.#origin[1] - finite(y, 'y')]; }

  #color(args, name) {
    const value = args.length === 3 ? args : args[0];
    if (typeof value === 'string') return toRgb(value);
    const channels = value && typeof value === 'object' ? Array.from(value) : null;
    if (!channels || channels.length !== 3 || !channels.every(Number.isFinite)) {
      throw new TypeError(`bad ${name}: ${String(value)}`);
    }
    const scale = this.#colormode === 255 ? 1 : 255;
    const limit = this.#colormode === 255 ? 255 : 1;
    if (!channels.every((v) => v >= 0 && v <= limit)) {
      throw new RangeError(`bad ${name} ${String(value)}: channels are 0..${limit} in colormode ${this.#colormode}`);
    }
    return channels.map((v) => Math.round(v * scale));
  }

  #rawColor(offset) { return Array.from(heap().subarray(this.handle + offset, this.handle + offset + 3)); }

  #colorOut(offset) {
    const rgb = this.#rawColor(offset);
    return this.#colormode === 255 ? rgb : rgb.map((v) => v / 255);
  }

  // ---- moves ---------------------------------------------------------------------

  forward(distance) { call('pixpen_turtle_forward', this, this.#image, finite(distance, 'distance')); }
  backward(distance) { this.forward(-finite(distance, 'distance')); }
  left(angle) { call('pixpen_turtle_left', this, finite(angle, 'angle')); }
  right(angle) { call('pixpen_turtle_right', this, finite(angle, 'angle')); }

  /** goto(x, y) or goto([x, y]): moves there, drawing when the pen is down. */
  goto(x, y) {
    if (y === undefined && x && typeof x === 'object') [x, y] = x;
    call('pixpen_turtle_goto', this, this.#image, ...this.#pixel(x, y));
  }

  setx(x) { this.goto(x, this.ycor()); }
  sety(y) { this.goto(this.xcor(), y); }
  setheading(angle) { call('pixpen_turtle_set_heading', this, finite(angle, 'angle')); }
  home() { call('pixpen_turtle_goto', this, this.#image, ...this.#origin); this.setheading(0); }

  /** An inscribed regular polygon; the centre is radius to the left. */
  circle(radius, extent = 360, steps = 0) {
    const count = steps === null || steps === undefined ? 0 : Math.trunc(finite(steps, 'steps'));
    call('pixpen_turtle_circle', this, this.#image, finite(radius, 'radius'), finite(extent, 'extent'), count);
  }

  /** A filled disc of diameter size (omitted: max(pensize + 4, 2 * pensize)) in the pen colour or the one given. */
  dot(size, ...color) {
    const diameter = size === undefined || size === null ? 0 : finite(size, 'size');
    const rgb = color.length ? this.#color(color, 'dot colour') : this.#rawColor(PEN_COLOR);
    call('pixpen_turtle_dot', this, this.#image, diameter, rgb);
  }

  // ---- pen -----------------------------------------------------------------------

  penup() { call('pixpen_turtle_pen_up', this); }
  pendown() { call('pixpen_turtle_pen_down', this); }
  isdown() { return this.#byte(PEN_DOWN) !== 0; }

  /** pensize() gives the width; pensize(w) sets it. */
  pensize(width) {
    if (width === undefined) return this.#double(24);
    call('pixpen_turtle_set_width', this, finite(width, 'width'));
  }

  /** pencolor() gives the colour; pencolor(c) or pencolor(r, g, b) sets it. */
  pencolor(...args) {
    if (!args.length) return this.#colorOut(PEN_COLOR);
    call('pixpen_turtle_set_pen_color', this, this.#color(args, 'pen colour'));
  }

  fillcolor(...args) {
    if (!args.length) return this.#colorOut(FILL_COLOR);
    call('pixpen_turtle_set_fill_color', this, this.#color(args, 'fill colour'));
  }

  /** color() gives [pen, fill]; color(c) sets both; color(pen, fill) each. */
  color(...args) {
    if (!args.length) return [this.pencolor(), this.fillcolor()];
    if (args.length === 2) {
      this.pencolor(args[0]);
      this.fillcolor(args[1]);
      return;
    }
    this.pencolor(...args);
    this.fillcolor(...args);
  }

  colormode(mode) {
    if (mode === undefined) return this.#colormode;
    if (mode !== 1 && mode !== 255) throw new RangeError('colormode is 1.0 or 255');
    this.#colormode = mode;
  }

  begin_fill() { call('pixpen_turtle_begin_fill', this); }
  end_fill() { call('pixpen_turtle_end_fill', this, this.#image); }
  filling() { return this.#byte(FILLING) !== 0; }

  // ---- queries -------------------------------------------------------------------

  position() { return [this.xcor(), this.ycor()]; }
  xcor() { return this.#double(0) - this.#origin[0]; }
  ycor() { return this.#origin[1] - this.#double(8); }
  heading() { return this.#double(16); }

  distance(x, y) {
    if (y === undefined && x && typeof x === 'object') [x, y] = x instanceof Turtle ? x.position() : x;
    return wasm._pixpen_turtle_distance(this.handle, ...this.#pixel(x, y));
  }

  towards(x, y) {
    if (y === undefined && x && typeof x === 'object') [x, y] = x instanceof Turtle ? x.position() : x;
    return wasm._pixpen_turtle_towards(this.handle, ...this.#pixel(x, y));
  }

  // The turtle itself is never drawn and every move is immediate.
  speed() {}
  hideturtle() {}
  showturtle() {}
  isvisible() { return false; }
  shape() {}
  shapesize() {}
  turtlesize() {}

  /** The library draws no text yet: write() draws nothing, and says so once. */
  write() {
    if (!Turtle.#warnedWrite) console.warn('pixpen: write() draws no text yet');
    Turtle.#warnedWrite = true;
  }

  static #warnedWrite = false;
}

const TURTLE_ALIASES = {
  fd: 'forward', bk: 'backward', back: 'backward', lt: 'left', rt: 'right',
  setpos: 'goto', setposition: 'goto', seth: 'setheading', pu: 'penup', up: 'penup',
  pd: 'pendown', down: 'pendown', width: 'pensize', pos: 'position', ht: 'hideturtle', st: 'showturtle',
  beginFill: 'begin_fill', endFill: 'end_fill',
};
for (const [alias, name] of Object.entries(TURTLE_ALIASES)) {
  Object.defineProperty(Turtle.prototype, alias, { value: Turtle.prototype[name], writable: true, configurable: true });
}

/**
 * A white picture for turtles, as the standard module's screen: width x
 * height pixels, the origin in the middle. turtle() adds a turtle on it.
 */
export class Screen {
  constructor(width = 400, height = 400) {
    this.image = new Image(width, height);
    this.image.clear('white');
    this.turtles = [];
  }

  turtle() {
    const turtle = new Turtle(this.image);
    this.turtles.push(turtle);
    return turtle;
  }

  /** Paints the whole picture in color: drawings made so far are covered. */
  bgcolor(color) { this.image.clear(color); }

  close() {
    for (const turtle of this.turtles) turtle.close();
    this.image.close();
  }
}

/** A new image from TGA or PPM bytes; see Image.decode. */
export const decode = (data, format) => Image.decode(data, format);

/** The image as file bytes; see Image.encode. */
export const encode = (image, format) => image.encode(format);

/** The library's version, "MAJOR.MINOR.PATCH". */
export const version = (() => {
  const address = wasm._get_version_string();
  const bytes = heap().subarray(address, heap().indexOf(0, address));
  return new TextDecoder().decode(bytes);
})();
