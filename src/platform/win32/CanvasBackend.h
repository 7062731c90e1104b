#pragma once
#include <d3d11.h>
#include <wrl/client.h>

namespace vell {

class Canvas;

// What the Direct3D presenter knows of the canvas: the two draw with one device, so the
// overlay is blended straight from the canvas's texture instead of read back and uploaded.
struct CanvasBackend {
  // The device every canvas draws with (made on first use); null when there is none.
  static Microsoft::WRL::ComPtr<ID3D11Device> device();
  // The canvas's texture with everything drawn so far in it; null when it has none.
  static ID3D11Texture2D* texture(const Canvas& canvas);
};

}  // namespace vell
