// The PNG decoder's implementation, compiled once; the library is third-party code.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>
