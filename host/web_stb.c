/* host/web_stb.c — the stb_image and stb_vorbis implementations for the browser build, compiled from
 * the libstb-dev headers (the desktop links Debian's libstb instead). Only PNG files reach
 * stb_image.
 * Depends on: stb_image.h, stb_vorbis.h (libstb-dev). */
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

#include <stb_vorbis.h>
