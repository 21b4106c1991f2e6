// wl_shm buffers of xRGB pixels in memfd memory, for the windows' margins
// and the message boxes.
//
// Depends on: libwayland-client, memfd_create (Linux 3.17, glibc 2.27).
// Cannot: resize a buffer; a new size is a new buffer.
#include <sys/mman.h>
#include <unistd.h>

#include "platform/wayland/wayland_layer.h"

bool waylandMakeBuffer(ShmBuffer& buffer, int width, int height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const std::size_t bytes = stride * static_cast<std::size_t>(height);
    const int fd = memfd_create("morvane-shm", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    void* pixels = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        close(fd);
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(wl.shm, fd, static_cast<int32_t>(bytes));
    buffer.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<int32_t>(stride),
                                              WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    buffer.pixels = static_cast<std::uint32_t*>(pixels);
    buffer.bytes = bytes;
    buffer.width = width;
    buffer.height = height;
    return true;
}

void waylandFreeBuffer(ShmBuffer& buffer) {
    if (buffer.buffer != nullptr) {
        wl_buffer_destroy(buffer.buffer);
    }
    if (buffer.pixels != nullptr) {
        munmap(buffer.pixels, buffer.bytes);
    }
    buffer = ShmBuffer{};
}
