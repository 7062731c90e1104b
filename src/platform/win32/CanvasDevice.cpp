// The one Direct3D device every canvas and the presenter draw with, made again after a loss.
#include <d3d10.h>
#include <d3d11.h>
#include <wrl/client.h>

#include <mutex>

#include "platform/win32/CanvasBackend.h"

using Microsoft::WRL::ComPtr;

namespace vell {

namespace {

struct DeviceState {
  std::mutex lock;  // guards everything below
  ComPtr<ID3D11Device> device;
  bool gpu = false;  // the device is the GPU's, not WARP
};

DeviceState& deviceState() {
  static DeviceState* s = new DeviceState();  // lives as long as the process: canvases may outlive statics
  return *s;
}

ComPtr<ID3D11Device> makeSharedDevice(D3D_DRIVER_TYPE type) {
  const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0};
  ComPtr<ID3D11Device> device;
  if (FAILED(D3D11CreateDevice(nullptr, type, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT, levels, 3, D3D11_SDK_VERSION,
                               &device, nullptr, nullptr)))
    return nullptr;
  // Canvases and the presenter share the immediate context, maybe from several threads.
  ComPtr<ID3D10Multithread> multithread;
  if (SUCCEEDED(device.As(&multithread))) multithread->SetMultithreadProtected(TRUE);
  return device;
}

}  // namespace

// One device for every canvas: making one costs about a second under wine.
Microsoft::WRL::ComPtr<ID3D11Device> CanvasBackend::device(bool* gpu) {
  DeviceState& s = deviceState();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.device || s.device->GetDeviceRemovedReason() != S_OK) {
    s.device = makeSharedDevice(D3D_DRIVER_TYPE_HARDWARE);
    s.gpu = s.device != nullptr;
    if (!s.device) s.device = makeSharedDevice(D3D_DRIVER_TYPE_WARP);
  }
  if (gpu) *gpu = s.device && s.gpu;
  return s.device;
}

bool CanvasBackend::returnToGpu() {
  DeviceState& s = deviceState();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.device && s.gpu && s.device->GetDeviceRemovedReason() == S_OK) return true;
  ComPtr<ID3D11Device> device = makeSharedDevice(D3D_DRIVER_TYPE_HARDWARE);
  if (!device) return false;
  s.device = device;  // canvases and the presenter still drawing with the old one keep it alive
  s.gpu = true;
  return true;
}

Microsoft::WRL::ComPtr<ID3D11Device> CanvasBackend::currentDevice() {
  DeviceState& s = deviceState();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.device;
}

}  // namespace vell
