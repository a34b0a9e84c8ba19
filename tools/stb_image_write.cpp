// The PNG encoder's implementation, compiled once; the library is third-party code.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
