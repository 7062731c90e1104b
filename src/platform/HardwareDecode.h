// Which hardware video decoding devices the decoder tries on this system.
#pragma once
#include <string>
#include <vector>

namespace vell {

// FFmpeg's names of the hardware video decoding devices worth trying on this system, best
// first ("vaapi", "d3d11va", ...); the decoder takes the first one that opens and decodes in
// software when none does.
std::vector<std::string> hardwareDecodeDevices();

}  // namespace vell
