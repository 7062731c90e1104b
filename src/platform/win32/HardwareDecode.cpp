#include "platform/HardwareDecode.h"

namespace vell {

std::vector<std::string> hardwareDecodeDevices() { return {"d3d11va", "dxva2"}; }

}  // namespace vell
