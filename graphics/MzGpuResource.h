// The device object behind a managed buffer or a texture.
//
// Buffers and textures keep their contents on the CPU (managed storage); the render backend creates
// the device object the first time it needs it and hangs it here. Destroying the owner destroys it,
// and a backend that loses its context drops all of them and re-creates them on the next draw.
#pragma once

class MzGpuResource {
  public:
    virtual ~MzGpuResource() = default;
};
