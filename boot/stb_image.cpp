// The PNG decoder: stb_image from the system's stb package, configured for PNG only,
// no files, no SIMD and no thread-local state, allocating from the host heap.
#include <stddef.h>

extern "C" void *lbw_boot_png_allocate(size_t size);
extern "C" void *lbw_boot_png_resize(void *pointer, size_t size);
extern "C" void lbw_boot_png_release(void *pointer);
extern "C" [[noreturn]] void lbw_boot_png_assertion_failed();

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_SIMD
#define STBI_NO_THREAD_LOCALS
#define STBI_MAX_DIMENSIONS 16384
#define STBI_MALLOC(size) lbw_boot_png_allocate(size)
#define STBI_REALLOC(pointer, size) lbw_boot_png_resize(pointer, size)
#define STBI_FREE(pointer) lbw_boot_png_release(pointer)
#define STBI_ASSERT(condition) ((condition) ? (void)0 : lbw_boot_png_assertion_failed())
#include <stb_image.h>

namespace lbw::boot {

// RGBA pixels of the PNG file in the host heap, or null.
unsigned char *decode_png(const unsigned char *data, int size, int *width, int *height) {
    int channels = 0;
    return stbi_load_from_memory(data, size, width, height, &channels, 4);
}

} // namespace lbw::boot
