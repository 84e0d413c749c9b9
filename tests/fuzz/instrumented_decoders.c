// tests/fuzz/instrumented_decoders.c — stb_image's and stb_vorbis's decoders built from the installed
// headers with the fuzzing build's instrumentation, so that the sanitizers and libFuzzer's
// coverage see inside them. The harnesses link these ahead of libstb, whose copies (the ones
// the program uses, of the same source) then go unused. Third-party code: built without
// warnings.
// Depends on: libstb-dev (the headers).
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <stb_vorbis.h> // the implementation: no STB_VORBIS_HEADER_ONLY here
