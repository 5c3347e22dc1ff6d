#pragma once
// Register tables of the two products and the register index variables.
#include "device/BenchSession.h"
#include "shell/Types.h"
#include <QString>
#include <array>
#include <cstdint>

struct RegisterEntry {
    QString Label;
    int32_t BaseAddr = 0;
    uint8_t NumBytes = 0;
    int16_t ReadLen = 0;
    VBool TwosCompl = VFalse;
    float RegScale = 0.0f;
    float RegOffset = 0.0f;
    VBool ReadFlag = VFalse;
    VBool WriteFlag = VFalse;
    VBool ECflag = VFalse;
    VBool NDflag = VFalse;
    VBool Hidden = VFalse;
    VBool EmbMemflag = VFalse;
    int32_t AuxBaseAddr = 0;
    int32_t AuxAddr = 0;
};

constexpr int kRegisterTableRows = 86;

namespace m470Reg {
// Data-sheet figures of the two products, for the analysis and the virtual sensor alike.
// Internal sample rates, before averaging (AVG_CNT = n averages 2^n samples).
constexpr double kSampleRate31470 = 88000.0;
constexpr double kSampleRate31473 = 64000.0;
// Capture time in seconds by averaging exponent 0..10; on the 31473 an event capture that also
// writes to flash takes the longer times.
inline constexpr std::array<double, 11> kCaptureSeconds31470{0.2, 0.2, 0.2, 0.2, 0.39, 0.46, 0.91, 1.6, 3.0, 6.0, 12.13};
inline constexpr std::array<double, 11> kCaptureSeconds31473{0.23, 0.23, 0.23, 0.23, 0.28, 0.6, 1.1, 2.2, 4.3, 8.5, 16.9};
inline constexpr std::array<double, 11> kCaptureSeconds31473Flash{0.6, 0.6, 0.7, 0.7, 0.8, 1.1, 1.6, 2.7, 4.8, 9.0, 17.4};

} // namespace m470Reg

// One product's register table and the rows its registers sit in. Built once per product and
// never changed: anything that holds a capture reads it through that capture's product.
struct RegisterMap {
    int product = 0;
    std::array<RegisterEntry, kRegisterTableRows> RegisterTable{};
    int16_t LastRegisterIndex = 0;
    int16_t idxENDURANCE = 0;
    int16_t idxX_NULL = 0;
    int16_t idxAUX0_NULL = 0;
    int16_t idxAUX1_NULL = 0;
    int16_t idxreserved8 = 0;
    int16_t idxCAPT_SUPPLY = 0;
    int16_t idxCAPT_TEMP = 0;
    int16_t idxCAPT_PEAK_X = 0;
    int16_t idxCAPT_PEAK_Y = 0;
    int16_t idxCAPT_PEAK_Z = 0;
    int16_t idxCAPT_BUF1 = 0;
    int16_t idxCAPT_BUF2 = 0;
    int16_t idxCAPT_BUF3 = 0;
    int16_t idxCAPT_PNTR = 0;
    int16_t idxCAPT_CTRL = 0;
    int16_t idxCAPT_PRD = 0;
    int16_t idxALM_MAG1 = 0;
    int16_t idxALM_MAG2 = 0;
    int16_t idxALM_MAG3 = 0;
    int16_t idxALM_MAG4 = 0;
    int16_t idxNULL_CNT = 0;
    int16_t idxALM_CTRL = 0;
    int16_t idxreserved2A = 0;
    int16_t idxGPIO_CTRL = 0;
    int16_t idxMSC_CTRL = 0;
    int16_t idxDIO_CTRL = 0;
    int16_t idxAVG_CNT = 0;
    int16_t idxreserved3A = 0;
    int16_t idxSTATUS = 0;
    int16_t idxCOMMAND = 0;
    int16_t idxST_DELTA = 0;
    int16_t idxSUPPLY_OUT = 0;
    int16_t idxTEMP_OUT = 0;
    int16_t idxX_OUT = 0;
    int16_t idxAUX0_OUT = 0;
    int16_t idxAUX1_OUT = 0;
    int16_t idxreserved4E = 0;
    int16_t idxKEYCODE = 0;
    int16_t idxREV = 0;
    int16_t idxDAY = 0;
    int16_t idxMONTH = 0;
    int16_t idxYEAR = 0;
    int16_t idxPROD_ID = 0;
    int16_t idxSCRATCH_A = 0;
    int16_t idxSCRATCH_B = 0;
    int16_t idxRESERVED5C = 0;
    int16_t idxSIGNTRL = 0;
    int16_t idxSIGNTRM = 0;
    int16_t idxSIGNTRU = 0;
    int16_t idxCHKSUML = 0;
    int16_t idxCHKSUMM = 0;
    int16_t idxCHKSUMU = 0;

    // The value a raw reading of row `index` stands for: the row's scale and offset, in single
    // precision as the register layer computes RegValue.
    float ScaledValue(int16_t index, double raw) const
    {
        const RegisterEntry& row = RegisterTable[static_cast<size_t>(index)];
        return static_cast<float>(static_cast<float>(raw) * row.RegScale + row.RegOffset);
    }
    // The reading a word read from row `index` stands for: its low ReadLen bits, sign-extended
    // where the row is two's complement.
    int32_t RawOf(int16_t index, int32_t word) const;
    // g per count of the capture buffers.
    double GPerCount() const { return RegisterTable[static_cast<size_t>(idxCAPT_BUF1)].RegScale; }
};

// The constant table of `product` (31470; anything else reads as 31473).
const RegisterMap& RegisterMapFor(int product);
// The empty table: no product chosen.
const RegisterMap& NoRegisterMap();

namespace m470Reg {
// The table of the product the program's session is set to: empty until a product is chosen at
// start-up.
inline const RegisterMap& Table() { return ProgramSession().Table(); }
} // namespace m470Reg

// Set the program's session to a product's table.
inline void BuildTable31470() { ProgramSession().SelectTable(31470); }
inline void BuildTable31473() { ProgramSession().SelectTable(31473); }
// Back to no table (a stored product that is neither).
inline void ClearTable() { ProgramSession().ClearTable(); }
