// Windows: the hardware decoding devices worth trying (D3D11VA, DXVA2).
#include "platform/HardwareDecode.h"

namespace vell {

std::vector<std::string> hardwareDecodeDevices() { return {"d3d11va", "dxva2"}; }

}  // namespace vell
