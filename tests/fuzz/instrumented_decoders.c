// tests/fuzz/instrumented_decoders.c — stb_image and stb_vorbis from libstb-dev's headers, built
// with the fuzzing instrumentation and linked ahead of libstb so the sanitizers see inside them.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <stb_vorbis.h> // the implementation: no STB_VORBIS_HEADER_ONLY here
