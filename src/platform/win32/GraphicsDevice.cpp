// Windows (Direct3D 11): the presenter, its shaders and textures, loss and the GDI path.
#include "platform/GraphicsDevice.h"

#include <windows.h>
#include <d3d11.h>
#include <d3dcompiler.h>
#include <dxgi1_2.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <tuple>

#include "platform/Canvas.h"
#include "platform/Log.h"
#include "platform/Window.h"
#include "platform/win32/CanvasBackend.h"

using Microsoft::WRL::ComPtr;

namespace vell {

namespace {

// A textured quad: position in clip space and texture coordinates.
const char kVertexShader[] =
    "struct VS_OUT { float4 pos : SV_Position; float2 uv : TEXCOORD0; };\n"
    "VS_OUT main(float2 pos : POSITION, float2 uv : TEXCOORD0) {\n"
    "  VS_OUT o;\n"
    "  o.pos = float4(pos, 0.0, 1.0);\n"
    "  o.uv = uv;\n"
    "  return o;\n"
    "}\n";
const char kPixelShader[] =
    "Texture2D tex : register(t0);\n"
    "SamplerState samp : register(s0);\n"
    "float4 main(float4 pos : SV_Position, float2 uv : TEXCOORD0) : SV_Target {\n"
    "  return tex.Sample(samp, uv);\n"
    "}\n";

struct Vertex {
  float x, y, u, v;
};

// Compiled once per process (d3dcompiler_47 ships with Windows 8.1 and later, and wine has it).
bool compiledShaders(ComPtr<ID3DBlob>& vs, ComPtr<ID3DBlob>& ps) {
  static std::mutex lock;
  static ComPtr<ID3DBlob> vertex, pixel;
  std::lock_guard<std::mutex> guard(lock);
  for (auto [source, size, target, out] :
       {std::tuple{kVertexShader, sizeof kVertexShader - 1, "vs_4_0", std::addressof(vertex)},
        std::tuple{kPixelShader, sizeof kPixelShader - 1, "ps_4_0", std::addressof(pixel)}}) {
    if (*out) continue;
    ComPtr<ID3DBlob> errors;
    if (FAILED(D3DCompile(source, size, nullptr, nullptr, nullptr, "main", target, D3DCOMPILE_OPTIMIZATION_LEVEL3, 0,
                          out->GetAddressOf(), &errors))) {
      debugLog("Shader compile failed: %s", errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
      out->Reset();
      return false;
    }
  }
  vs = vertex;
  ps = pixel;
  return true;
}

bool lost(HRESULT hr) { return hr == DXGI_ERROR_DEVICE_REMOVED || hr == DXGI_ERROR_DEVICE_RESET; }

}  // namespace

struct GraphicsDevice::Impl {
  HWND window = nullptr;
  int width = 0, height = 0;  // of the back buffer (or the CPU frame)

  // Direct3D 11
  ComPtr<ID3D11Device> device;
  ComPtr<ID3D11DeviceContext> context;
  ComPtr<IDXGISwapChain1> swapChain;
  ComPtr<ID3D11RenderTargetView> target;
  ComPtr<ID3D11VertexShader> vertexShader;
  ComPtr<ID3D11PixelShader> pixelShader;
  ComPtr<ID3D11InputLayout> inputLayout;
  ComPtr<ID3D11Buffer> quad;
  ComPtr<ID3D11SamplerState> linear, nearest;
  ComPtr<ID3D11BlendState> premultiplied;
  ComPtr<ID3D11RasterizerState> noCull;
  ComPtr<ID3D11Texture2D> video, overlay, readBack;
  ComPtr<ID3D11ShaderResourceView> videoView, overlayView;
  ComPtr<ID3D11Texture2D> canvasTexture;  // the canvas's own, when it lives on this device
  ComPtr<ID3D11ShaderResourceView> canvasView;

  bool gpu = false;  // the device is the GPU's (not WARP)
  // A loss left the presenter off the GPU: it asks the GPU again at these times, 2 s after the
  // loss and then at doubling intervals up to 30 s (0: not waiting for the GPU).
  ULONGLONG gpuRetryAt = 0, gpuRetryWait = 0;
  // The last present was not shown: the window is minimised or covered.
  bool occluded = false;

  // The CPU path: the frame is composed in memory and shown with GDI.
  bool cpu = false;
  std::vector<uint32_t> frame;
  std::vector<uint32_t> videoPixels;

  bool d3d() const { return device != nullptr; }

  void clientSize(int& w, int& h) const {
    RECT r{};
    GetClientRect(window, &r);
    w = r.right - r.left;
    h = r.bottom - r.top;
  }

  void releaseD3d() {
    if (context) context->ClearState();
    videoView.Reset(), overlayView.Reset(), video.Reset(), overlay.Reset(), readBack.Reset();
    canvasView.Reset(), canvasTexture.Reset();
    premultiplied.Reset(), noCull.Reset(), linear.Reset(), nearest.Reset(), quad.Reset();
    inputLayout.Reset(), pixelShader.Reset(), vertexShader.Reset();
    target.Reset(), swapChain.Reset(), context.Reset(), device.Reset();
    gpu = occluded = false;
  }

  bool createD3d(D3D_DRIVER_TYPE type) {
    releaseD3d();
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0};
    // On the GPU the canvases' device, so that the overlay never leaves it.
    bool onGpu = false;
    if (type == D3D_DRIVER_TYPE_HARDWARE) {
      device = CanvasBackend::device(&onGpu);
      if (device) device->GetImmediateContext(&context);
    } else {
      D3D11CreateDevice(nullptr, type, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT, levels, 3, D3D11_SDK_VERSION, &device,
                        nullptr, &context);
    }
    if (!device || !context) {
      releaseD3d();
      return false;
    }
    ComPtr<IDXGIDevice> dxgiDevice;
    ComPtr<IDXGIAdapter> adapter;
    ComPtr<IDXGIFactory2> factory;
    if (FAILED(device.As(&dxgiDevice)) || FAILED(dxgiDevice->GetAdapter(&adapter)) ||
        FAILED(adapter->GetParent(IID_PPV_ARGS(&factory)))) {
      releaseD3d();
      return false;
    }
    clientSize(width, height);
    width = std::max(width, 1);
    height = std::max(height, 1);
    DXGI_SWAP_CHAIN_DESC1 desc{};
    desc.Width = width;
    desc.Height = height;
    desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.Scaling = DXGI_SCALING_STRETCH;
    desc.AlphaMode = DXGI_ALPHA_MODE_IGNORE;
    // The blit model, copied into the window's own surface. Its back buffer keeps nothing
    // after a present (nor does a flip-model one keep the last frame), so every frame is drawn
    // whole: see keepsPresentedPixels.
    desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    desc.BufferCount = 1;
    factory->CreateSwapChainForHwnd(device.Get(), window, &desc, nullptr, nullptr, &swapChain);
    if (!swapChain) {
      releaseD3d();
      return false;
    }
    factory->MakeWindowAssociation(window, DXGI_MWA_NO_ALT_ENTER);
    ComPtr<ID3DBlob> vs, ps;
    D3D11_INPUT_ELEMENT_DESC elements[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 8, D3D11_INPUT_PER_VERTEX_DATA, 0},
    };
    D3D11_BUFFER_DESC quadDesc{sizeof(Vertex) * 4, D3D11_USAGE_DYNAMIC, D3D11_BIND_VERTEX_BUFFER, D3D11_CPU_ACCESS_WRITE,
                               0, 0};
    D3D11_SAMPLER_DESC sampler{};
    sampler.AddressU = sampler.AddressV = sampler.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
    sampler.MaxLOD = D3D11_FLOAT32_MAX;
    sampler.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
    D3D11_SAMPLER_DESC point = sampler;
    point.Filter = D3D11_FILTER_MIN_MAG_MIP_POINT;
    // The canvas holds premultiplied alpha.
    D3D11_BLEND_DESC blend{};
    D3D11_RENDER_TARGET_BLEND_DESC& rt = blend.RenderTarget[0];
    rt.BlendEnable = TRUE;
    rt.SrcBlend = rt.SrcBlendAlpha = D3D11_BLEND_ONE;
    rt.DestBlend = rt.DestBlendAlpha = D3D11_BLEND_INV_SRC_ALPHA;
    rt.BlendOp = rt.BlendOpAlpha = D3D11_BLEND_OP_ADD;
    rt.RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
    // Mirrored pictures turn the quad's winding around.
    D3D11_RASTERIZER_DESC raster{};
    raster.FillMode = D3D11_FILL_SOLID;
    raster.CullMode = D3D11_CULL_NONE;
    raster.DepthClipEnable = TRUE;
    if (!compiledShaders(vs, ps) ||
        FAILED(device->CreateVertexShader(vs->GetBufferPointer(), vs->GetBufferSize(), nullptr, &vertexShader)) ||
        FAILED(device->CreatePixelShader(ps->GetBufferPointer(), ps->GetBufferSize(), nullptr, &pixelShader)) ||
        FAILED(device->CreateInputLayout(elements, 2, vs->GetBufferPointer(), vs->GetBufferSize(), &inputLayout)) ||
        FAILED(device->CreateBuffer(&quadDesc, nullptr, &quad)) || FAILED(device->CreateSamplerState(&sampler, &linear)) ||
        FAILED(device->CreateSamplerState(&point, &nearest)) || FAILED(device->CreateBlendState(&blend, &premultiplied)) ||
        FAILED(device->CreateRasterizerState(&raster, &noCull)) || !createTarget()) {
      releaseD3d();
      return false;
    }
    gpu = onGpu;
    return true;
  }

  bool createTarget() {
    ComPtr<ID3D11Texture2D> buffer;
    return SUCCEEDED(swapChain->GetBuffer(0, IID_PPV_ARGS(&buffer))) &&
           SUCCEEDED(device->CreateRenderTargetView(buffer.Get(), nullptr, &target));
  }

  // Follows the window's client size; false when the device was lost.
  bool followWindow() {
    int w = 0, h = 0;
    clientSize(w, h);
    if (w < 1 || h < 1 || (w == width && h == height)) return true;
    if (cpu) {
      width = w;
      height = h;
      frame.assign(static_cast<size_t>(w) * h, 0);
      return true;
    }
    target.Reset();
    readBack.Reset();
    context->OMSetRenderTargets(0, nullptr, nullptr);
    context->ClearState();
    context->Flush();
    HRESULT hr = swapChain->ResizeBuffers(0, w, h, DXGI_FORMAT_UNKNOWN, 0);
    if (lost(hr)) return false;
    if (SUCCEEDED(hr)) {
      width = w;
      height = h;
    }
    return createTarget();
  }

  void bindQuad(const Vertex (&v)[4], ID3D11ShaderResourceView* view, ID3D11SamplerState* sampler, bool blend) {
    D3D11_MAPPED_SUBRESOURCE mapped{};
    if (FAILED(context->Map(quad.Get(), 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped))) return;
    std::memcpy(mapped.pData, v, sizeof v);
    context->Unmap(quad.Get(), 0);
    UINT stride = sizeof(Vertex), offset = 0;
    context->IASetVertexBuffers(0, 1, quad.GetAddressOf(), &stride, &offset);
    context->IASetInputLayout(inputLayout.Get());
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    context->VSSetShader(vertexShader.Get(), nullptr, 0);
    context->PSSetShader(pixelShader.Get(), nullptr, 0);
    context->PSSetShaderResources(0, 1, &view);
    context->PSSetSamplers(0, 1, &sampler);
    context->RSSetState(noCull.Get());
    const float factor[4] = {0, 0, 0, 0};
    context->OMSetBlendState(blend ? premultiplied.Get() : nullptr, factor, 0xFFFFFFFF);
    D3D11_VIEWPORT viewport{0, 0, static_cast<float>(width), static_cast<float>(height), 0, 1};
    context->RSSetViewports(1, &viewport);
    context->OMSetRenderTargets(1, target.GetAddressOf(), nullptr);
    context->Draw(4, 0);
  }

  // The device is gone (driver update, GPU reset): everything is made again, on WARP or the
  // CPU while the GPU gives no device; the picture is uploaded anew with the next frame.
  void rebuild(std::string& name) {
    const bool wasGpu = gpu;
    HWND hwnd = window;
    releaseD3d();
    window = hwnd;
    if (!createD3d(name == "warp" ? D3D_DRIVER_TYPE_WARP : D3D_DRIVER_TYPE_HARDWARE)) toCpu(name);
    if (wasGpu && !gpu) {
      gpuRetryWait = 2000;
      gpuRetryAt = GetTickCount64() + gpuRetryWait;
    }
  }

  void toCpu(std::string& name) {
    cpu = true;
    width = height = 0;
    followWindow();
    name = "software";
  }

  // Off the GPU since a loss: when the time has come, asks the GPU again and moves back to it
  // when it gives a device. True when the presenter was made anew (its textures are gone).
  bool retryGpu(std::string& name) {
    if (gpuRetryWait == 0 || GetTickCount64() < gpuRetryAt) return false;
    if (!CanvasBackend::returnToGpu()) {
      gpuRetryWait = std::min<ULONGLONG>(gpuRetryWait * 2, 30000);
      gpuRetryAt = GetTickCount64() + gpuRetryWait;
      return false;
    }
    HWND hwnd = window;
    releaseD3d();
    window = hwnd;
    cpu = false;
    frame.clear();
    videoPixels.clear();
    if (createD3d(D3D_DRIVER_TYPE_HARDWARE))
      name = "direct3d11";
    else
      toCpu(name);
    if (gpu) {
      gpuRetryWait = 0;
      debugLog("Graphics device back on the GPU");
    } else {
      gpuRetryAt = GetTickCount64() + gpuRetryWait;
    }
    return true;
  }

  // Pixel position to clip space.
  Vertex at(float x, float y, float u, float v) const {
    return Vertex{2 * x / width - 1, 1 - 2 * y / height, u, v};
  }

  // Draws the picture on the CPU: each covered pixel takes the bilinear sample of the
  // source point that maps to its centre.
  void drawVideoCpu(int vw, int vh, float x, float y, float w, float h, double angle, bool flipH, bool flipV) {
    double a = angle * 3.14159265358979323846 / 180, c = std::cos(a), s = std::sin(a);
    if (std::fabs(c) < 1e-12) c = 0;
    if (std::fabs(s) < 1e-12) s = 0;
    double cx = x + w / 2.0, cy = y + h / 2.0;
    double xs[4], ys[4];
    const double corners[4][2] = {{x, y}, {x + w, y}, {x, y + h}, {x + w, y + h}};
    for (int i = 0; i < 4; ++i) {
      double dx = corners[i][0] - cx, dy = corners[i][1] - cy;
      xs[i] = cx + dx * c - dy * s;
      ys[i] = cy + dx * s + dy * c;
    }
    int x0 = std::max(0, static_cast<int>(std::floor(*std::min_element(xs, xs + 4))));
    int x1 = std::min(width, static_cast<int>(std::ceil(*std::max_element(xs, xs + 4))));
    int y0 = std::max(0, static_cast<int>(std::floor(*std::min_element(ys, ys + 4))));
    int y1 = std::min(height, static_cast<int>(std::ceil(*std::max_element(ys, ys + 4))));
    // Screen point -> point of the unturned rectangle -> texel coordinates.
    double su = (flipH ? -1.0 : 1.0) * vw / w, sv = (flipV ? -1.0 : 1.0) * vh / h;
    double ou = flipH ? vw : 0, ov = flipV ? vh : 0;
    // Two channels at a time with weights out of 256.
    auto mix = [](uint32_t p, uint32_t q, uint32_t f) {
      uint32_t rb = (((p & 0xFF00FFu) * (256 - f) + (q & 0xFF00FFu) * f) >> 8) & 0xFF00FFu;
      uint32_t g = (((p & 0x00FF00u) * (256 - f) + (q & 0x00FF00u) * f) >> 8) & 0x00FF00u;
      return rb | g;
    };
    for (int py = y0; py < y1; ++py) {
      double dy = py + 0.5 - cy;
      uint32_t* out = &frame[static_cast<size_t>(py) * width];
      for (int px = x0; px < x1; ++px) {
        double dx = px + 0.5 - cx;
        double qx = cx + dx * c + dy * s - x, qy = cy - dx * s + dy * c - y;
        if (qx < 0 || qy < 0 || qx >= w || qy >= h) continue;
        double u = std::max(0.0, ou + qx * su - 0.5), v = std::max(0.0, ov + qy * sv - 0.5);
        int iu = std::min(static_cast<int>(u), vw - 1), iv = std::min(static_cast<int>(v), vh - 1);
        uint32_t fu = static_cast<uint32_t>((u - iu) * 256), fv = static_cast<uint32_t>((v - iv) * 256);
        int iu1 = std::min(iu + 1, vw - 1), iv1 = std::min(iv + 1, vh - 1);
        const uint32_t* row0 = &videoPixels[static_cast<size_t>(iv) * vw];
        const uint32_t* row1 = &videoPixels[static_cast<size_t>(iv1) * vw];
        out[px] = 0xFF000000u | mix(mix(row0[iu], row0[iu1], fu), mix(row1[iu], row1[iu1], fu), fv);
      }
    }
  }
};

GraphicsDevice::GraphicsDevice() : impl_(std::make_unique<Impl>()) {}

GraphicsDevice::~GraphicsDevice() { destroy(); }

bool GraphicsDevice::ready() const { return impl_->d3d() || impl_->cpu; }

bool GraphicsDevice::hasVideoTexture(int width, int height) const {
  bool held = impl_->d3d() ? impl_->video != nullptr : !impl_->videoPixels.empty();
  return held && videoW_ == width && videoH_ == height;
}

// "" takes Direct3D 11 on the GPU, then the WARP rasteriser, then the CPU path;
// "direct3d11", "warp" and "software" (the CPU path, shown with GDI) take only that one.
bool GraphicsDevice::create(Window& window, const std::string& driver) {
  destroy();
  HWND hwnd = reinterpret_cast<HWND>(window.handle());
  if (!hwnd || !IsWindow(hwnd)) return false;
  if (!driver.empty() && driver != "direct3d11" && driver != "warp" && driver != "software") {
    debugLog("Render driver %s not available", driver.c_str());
    return false;
  }
  Impl& d = *impl_;
  d.window = hwnd;
  if ((driver.empty() || driver == "direct3d11") && d.createD3d(D3D_DRIVER_TYPE_HARDWARE)) {
    driverName_ = "direct3d11";
  } else if ((driver.empty() || driver == "warp") && d.createD3d(D3D_DRIVER_TYPE_WARP)) {
    driverName_ = "warp";
  } else if (driver.empty() || driver == "software") {
    d.cpu = true;
    d.width = d.height = 0;
    d.followWindow();
    driverName_ = "software";
  } else {
    debugLog("Renderer creation failed: %s", driver.c_str());
    d.window = nullptr;
    return false;
  }
  premultiplied_ = true;
  return true;
}

void GraphicsDevice::dropTextures() {
  Impl& d = *impl_;
  d.videoView.Reset(), d.video.Reset(), d.overlayView.Reset(), d.overlay.Reset();
  d.videoPixels.clear();
  videoW_ = videoH_ = overlayW_ = overlayH_ = 0;
}

void GraphicsDevice::destroy() {
  dropTextures();
  impl_->releaseD3d();
  impl_->cpu = false;
  impl_->frame.clear();
  impl_->window = nullptr;
  impl_->width = impl_->height = 0;
  driverName_.clear();
}

void GraphicsDevice::outputSize(int& width, int& height) const {
  width = ready() ? impl_->width : 0;
  height = ready() ? impl_->height : 0;
}

void GraphicsDevice::clear(uint8_t r, uint8_t g, uint8_t b) {
  Impl& d = *impl_;
  if (!ready()) return;
  if (d.retryGpu(driverName_)) dropTextures();
  if (!d.followWindow()) {
    dropTextures();
    d.rebuild(driverName_);
  }
  if (d.cpu) {
    std::fill(d.frame.begin(), d.frame.end(), 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b);
    return;
  }
  if (!d.target) return;
  const float colour[4] = {r / 255.0f, g / 255.0f, b / 255.0f, 1.0f};
  d.context->ClearRenderTargetView(d.target.Get(), colour);
}

bool GraphicsDevice::uploadVideo(const uint8_t* pixels, int pitch, int width, int height) {
  Impl& d = *impl_;
  if (!ready() || !pixels || width < 1 || height < 1 || pitch < width * 4) return false;
  if (!hasVideoTexture(width, height)) {
    d.videoView.Reset();
    d.video.Reset();
    d.videoPixels.clear();
    videoW_ = videoH_ = 0;
    if (d.cpu) {
      d.videoPixels.resize(static_cast<size_t>(width) * height);
    } else {
      D3D11_TEXTURE2D_DESC desc =
          bgraTextureDesc(width, height, D3D11_USAGE_DYNAMIC, D3D11_BIND_SHADER_RESOURCE, D3D11_CPU_ACCESS_WRITE);
      if (FAILED(d.device->CreateTexture2D(&desc, nullptr, &d.video)) ||
          FAILED(d.device->CreateShaderResourceView(d.video.Get(), nullptr, &d.videoView))) {
        d.video.Reset();
        return false;
      }
    }
    videoW_ = width;
    videoH_ = height;
    ++videoCreations_;
  }
  ++videoUploads_;
  if (d.cpu) {
    for (int y = 0; y < height; ++y)
      std::memcpy(&d.videoPixels[static_cast<size_t>(y) * width], pixels + static_cast<size_t>(y) * pitch, width * 4);
    return true;
  }
  D3D11_MAPPED_SUBRESOURCE mapped{};
  if (FAILED(d.context->Map(d.video.Get(), 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped))) return false;
  auto* dst = static_cast<uint8_t*>(mapped.pData);
  if (mapped.RowPitch == static_cast<UINT>(pitch)) {
    std::memcpy(dst, pixels, static_cast<size_t>(pitch) * height);
  } else {
    for (int y = 0; y < height; ++y)
      std::memcpy(dst + static_cast<size_t>(y) * mapped.RowPitch, pixels + static_cast<size_t>(y) * pitch, width * 4);
  }
  d.context->Unmap(d.video.Get(), 0);
  return true;
}

void GraphicsDevice::drawVideo(float x, float y, float w, float h, double angle, bool flipH, bool flipV) {
  Impl& d = *impl_;
  if (!hasVideoTexture(videoW_, videoH_) || videoW_ < 1 || w <= 0 || h <= 0) return;
  if (d.cpu) {
    d.drawVideoCpu(videoW_, videoH_, x, y, w, h, angle, flipH, flipV);
    return;
  }
  if (!d.target) return;
  // Mirrored within the rectangle, then turned clockwise about its centre.
  double a = angle * 3.14159265358979323846 / 180, c = std::cos(a), s = std::sin(a);
  float cx = x + w / 2, cy = y + h / 2;
  auto corner = [&](float px, float py, float u, float v) {
    double dx = px - cx, dy = py - cy;
    return d.at(static_cast<float>(cx + dx * c - dy * s), static_cast<float>(cy + dx * s + dy * c), flipH ? 1 - u : u,
                flipV ? 1 - v : v);
  };
  const Vertex quad[4] = {corner(x, y, 0, 0), corner(x + w, y, 1, 0), corner(x, y + h, 0, 1), corner(x + w, y + h, 1, 1)};
  d.bindQuad(quad, d.videoView.Get(), d.linear.Get(), false);
}

// A discarded back buffer holds nothing of the last frame, so every frame is drawn whole: the
// one area asked for is the whole target, and the overlay is drawn whole.
bool GraphicsDevice::keepsPresentedPixels() const { return false; }
void GraphicsDevice::beginArea(const RectI&, uint8_t r, uint8_t g, uint8_t b, const RectI*) { clear(r, g, b); }
void GraphicsDevice::endArea() {}

void GraphicsDevice::drawOverlay(const Canvas& canvas, const RectI*) {
  Impl& d = *impl_;
  overlayPixels_ = 0;
  if (!ready() || !canvas.valid()) return;
  std::vector<RectI> rects = canvas.dirtyRects();
  if (rects.empty()) return;  // nothing drawn: no upload, no blending
  int w = canvas.width(), h = canvas.height();
  if (d.cpu) {
    const uint8_t* base = canvas.pixels();
    int stride = canvas.stride();
    for (const RectI& r : rects) {
      for (int y = r.y; y < r.y + r.h && y < d.height; ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(base + static_cast<size_t>(y) * stride);
        uint32_t* dst = &d.frame[static_cast<size_t>(y) * d.width];
        for (int x = r.x; x < r.x + r.w && x < d.width; ++x) {
          uint32_t p = src[x], a = p >> 24;
          if (a == 0) continue;
          if (a == 255) {
            dst[x] = p;
            continue;
          }
          uint32_t q = dst[x], out = 0xFF000000u;
          for (int shift = 0; shift < 24; shift += 8) {
            uint32_t v = ((p >> shift) & 0xFF) + (((q >> shift) & 0xFF) * (255 - a) + 127) / 255;
            out |= std::min<uint32_t>(v, 255) << shift;
          }
          dst[x] = out;
        }
      }
      overlayPixels_ += static_cast<long>(r.w) * r.h;
    }
    return;
  }
  if (!d.target) return;
  // Drawn with this device: blended from where it lies.
  if (ID3D11Texture2D* texture = CanvasBackend::texture(canvas)) {
    ComPtr<ID3D11Device> owner;
    texture->GetDevice(&owner);
    if (owner.Get() == d.device.Get()) {
      if (d.canvasTexture.Get() != texture) {
        d.canvasView.Reset();
        d.canvasTexture = texture;
        if (FAILED(d.device->CreateShaderResourceView(texture, nullptr, &d.canvasView))) d.canvasTexture.Reset();
      }
      if (d.canvasView) {
        for (const RectI& r : rects) {
          float x0 = r.x, y0 = r.y, x1 = r.x + r.w, y1 = r.y + r.h;
          const Vertex quad[4] = {d.at(x0, y0, x0 / w, y0 / h), d.at(x1, y0, x1 / w, y0 / h),
                                  d.at(x0, y1, x0 / w, y1 / h), d.at(x1, y1, x1 / w, y1 / h)};
          d.bindQuad(quad, d.canvasView.Get(), d.nearest.Get(), true);
          overlayPixels_ += static_cast<long>(r.w) * r.h;
        }
        d.context->PSSetShaderResources(0, 1, std::array<ID3D11ShaderResourceView*, 1>{}.data());
        return;
      }
    }
  }
  const uint8_t* base = canvas.pixels();
  int stride = canvas.stride();
  if (!d.overlay || overlayW_ != w || overlayH_ != h) {
    d.overlayView.Reset();
    d.overlay.Reset();
    overlayW_ = overlayH_ = 0;
    D3D11_TEXTURE2D_DESC desc = bgraTextureDesc(w, h, D3D11_USAGE_DEFAULT, D3D11_BIND_SHADER_RESOURCE);
    if (FAILED(d.device->CreateTexture2D(&desc, nullptr, &d.overlay)) ||
        FAILED(d.device->CreateShaderResourceView(d.overlay.Get(), nullptr, &d.overlayView))) {
      d.overlay.Reset();
      return;
    }
    overlayW_ = w;
    overlayH_ = h;
  }
  for (const RectI& r : rects) {
    D3D11_BOX box{static_cast<UINT>(r.x), static_cast<UINT>(r.y), 0, static_cast<UINT>(r.x + r.w),
                  static_cast<UINT>(r.y + r.h), 1};
    d.context->UpdateSubresource(d.overlay.Get(), 0, &box, base + static_cast<size_t>(r.y) * stride + r.x * 4, stride, 0);
    // The part drawn one to one at the same place.
    float x0 = r.x, y0 = r.y, x1 = r.x + r.w, y1 = r.y + r.h;
    const Vertex quad[4] = {d.at(x0, y0, x0 / w, y0 / h), d.at(x1, y0, x1 / w, y0 / h), d.at(x0, y1, x0 / w, y1 / h),
                            d.at(x1, y1, x1 / w, y1 / h)};
    d.bindQuad(quad, d.overlayView.Get(), d.nearest.Get(), true);
    overlayPixels_ += static_cast<long>(r.w) * r.h;
  }
}

void GraphicsDevice::present() {
  Impl& d = *impl_;
  if (d.cpu) {
    if (d.frame.empty()) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = d.width;
    info.bmiHeader.biHeight = -d.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = GetDC(d.window);
    if (!dc) return;
    SetDIBitsToDevice(dc, 0, 0, d.width, d.height, 0, 0, 0, d.height, d.frame.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(d.window, dc);
    ++presents_;
    return;
  }
  if (!d.swapChain) return;
  HRESULT hr = d.swapChain->Present(0, 0);
  ++presents_;
  d.occluded = hr == DXGI_STATUS_OCCLUDED;
  if (lost(hr)) {
    debugLog("Graphics device lost (0x%08lx), recreating", static_cast<unsigned long>(hr));
    dropTextures();
    d.rebuild(driverName_);
  }
}

bool GraphicsDevice::occluded() {
  Impl& d = *impl_;
  if (!d.occluded || !d.swapChain) return false;
  HRESULT hr = d.swapChain->Present(0, DXGI_PRESENT_TEST);
  d.occluded = hr == DXGI_STATUS_OCCLUDED;
  return d.occluded;
}

bool GraphicsDevice::readPixels(std::vector<uint32_t>& out, int& width, int& height) {
  Impl& d = *impl_;
  outputSize(width, height);
  if (!ready() || width < 1 || height < 1) return false;
  out.resize(static_cast<size_t>(width) * height);
  if (d.cpu) {
    std::copy(d.frame.begin(), d.frame.end(), out.begin());
    return true;
  }
  ComPtr<ID3D11Texture2D> buffer;
  if (!d.swapChain || FAILED(d.swapChain->GetBuffer(0, IID_PPV_ARGS(&buffer)))) return false;
  D3D11_TEXTURE2D_DESC desc{};
  buffer->GetDesc(&desc);
  if (d.readBack) {
    D3D11_TEXTURE2D_DESC held{};
    d.readBack->GetDesc(&held);
    if (held.Width != desc.Width || held.Height != desc.Height) d.readBack.Reset();
  }
  if (!d.readBack) {
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    if (FAILED(d.device->CreateTexture2D(&desc, nullptr, &d.readBack))) return false;
  }
  d.context->CopyResource(d.readBack.Get(), buffer.Get());
  D3D11_MAPPED_SUBRESOURCE mapped{};
  if (FAILED(d.context->Map(d.readBack.Get(), 0, D3D11_MAP_READ, 0, &mapped))) return false;
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(mapped.pData) + static_cast<size_t>(y) * mapped.RowPitch);
    for (int x = 0; x < width; ++x) out[static_cast<size_t>(y) * width + x] = row[x] | 0xFF000000u;
  }
  d.context->Unmap(d.readBack.Get(), 0);
  return true;
}

}  // namespace vell
