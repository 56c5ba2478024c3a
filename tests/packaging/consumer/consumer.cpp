// A C++ user of an installed pixpen through pixpen.hpp alone: the installed
// header must be found beside pixpen.h and agree with the loaded library.
#include <cstdio>

#include <pixpen.hpp>

int main() {
    using namespace pixpen;
    Result<Picture> made = Picture::try_create(8, 6);
    if (!made) {
        std::fprintf(stderr, "%s\n", made.error().c_str());
        return 1;
    }
    made->turtle().forward(2).left(90).forward(3);
    const Result<Bytes> tga = made->try_encode(Format::tga);
    const Result<Picture> back = tga ? Picture::try_decode(*tga) : Result<Picture>(tga.error());
    if (!back || back->at(4, 1).r != 255 || library_version() != header_version) {
        std::fprintf(stderr, "round trip or version check failed: %s\n", back.error().c_str());
        return 1;
    }
    std::printf("pixpen.hpp consumer: %d x %d, library %s\n", back->width(), back->height(),
                library_version_string().data());
    return 0;
}
