// What the Direct3D presenter and the canvas share: the device and the canvas's texture.
#pragma once
#include <d3d11.h>
#include <wrl/client.h>

namespace vell {

class Canvas;

// A w x h BGRA texture description (one mip level, no multisampling) for the given use.
inline D3D11_TEXTURE2D_DESC bgraTextureDesc(UINT w, UINT h, D3D11_USAGE usage, UINT bind, UINT cpuAccess = 0) {
  D3D11_TEXTURE2D_DESC desc{};
  desc.Width = w;
  desc.Height = h;
  desc.MipLevels = desc.ArraySize = 1;
  desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.Usage = usage;
  desc.BindFlags = bind;
  desc.CPUAccessFlags = cpuAccess;
  return desc;
}

// What the Direct3D presenter knows of the canvas: the two draw with one device, so the
// overlay is blended straight from the canvas's texture instead of read back and uploaded.
struct CanvasBackend {
  // The device every canvas draws with (made on first use: on the GPU when it gives one, else
  // on WARP); null when there is none. `gpu`, when given, tells whether it is the GPU's.
  static Microsoft::WRL::ComPtr<ID3D11Device> device(bool* gpu = nullptr);
  // Asks the GPU again for that device when it is not the GPU's (a lost device was made again
  // on WARP): true when it is the GPU's now. Canvases move to a new device when next cleared.
  static bool returnToGpu();
  // The device as it is now, without making one; null when none was made.
  static Microsoft::WRL::ComPtr<ID3D11Device> currentDevice();
  // The canvas's texture with everything drawn so far in it; null when it has none.
  static ID3D11Texture2D* texture(const Canvas& canvas);
};

}  // namespace vell
