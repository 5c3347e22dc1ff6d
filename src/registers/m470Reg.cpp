#include "registers/m470Reg.h"
#include <bit>
#include <cmath>


namespace {
// One unit in the last place below 5/4096.
const float kJustBelow5Over4096 = std::bit_cast<float>(0x3A9FFFFFu);

void SetRow(RegisterMap& t, int row, const char* label, int32_t base, uint8_t numBytes, int16_t readLen, VBool twos,
            float scale, float offset, VBool readFlag, VBool writeFlag, VBool ec, VBool nd)
{
    RegisterEntry& e = t.RegisterTable[row];
    e.Label = QString::fromLatin1(label);
    e.BaseAddr = base;
    e.NumBytes = numBytes;
    e.ReadLen = readLen;
    e.TwosCompl = twos;
    e.RegScale = scale;
    e.RegOffset = offset;
    e.ReadFlag = readFlag;
    e.WriteFlag = writeFlag;
    e.ECflag = ec;
    e.NDflag = nd;
    e.Hidden = VFalse;
    e.EmbMemflag = VFalse;
    e.AuxBaseAddr = 0;
    e.AuxAddr = 0;
}
RegisterMap Make31470()
{
    RegisterMap t;
    t.product = 31470;
    t.LastRegisterIndex = 26;
    t.idxENDURANCE = 0;
    t.idxX_NULL = 1;
    t.idxAUX0_NULL = 2;
    t.idxAUX1_NULL = 3;
    t.idxreserved8 = 4;
    t.idxCAPT_SUPPLY = 5;
    t.idxCAPT_TEMP = 6;
    t.idxCAPT_PEAK_X = 7;
    t.idxCAPT_PEAK_Y = 8;
    t.idxCAPT_PEAK_Z = 9;
    t.idxCAPT_BUF1 = 10;
    t.idxCAPT_BUF2 = 11;
    t.idxCAPT_BUF3 = 12;
    t.idxCAPT_PNTR = 13;
    t.idxCAPT_CTRL = 14;
    t.idxCAPT_PRD = 15;
    t.idxALM_MAG1 = 16;
    t.idxALM_MAG2 = 17;
    t.idxALM_MAG3 = 18;
    t.idxALM_MAG4 = 19;
    t.idxALM_CTRL = 20;
    t.idxreserved2A = 21;
    t.idxGPIO_CTRL = 22;
    t.idxMSC_CTRL = 23;
    t.idxDIO_CTRL = 24;
    t.idxAVG_CNT = 25;
    t.idxreserved3A = 26;
    t.idxSTATUS = 27;
    t.idxCOMMAND = 28;
    t.idxST_DELTA = 29;
    t.idxSUPPLY_OUT = 30;
    t.idxTEMP_OUT = 31;
    t.idxX_OUT = 32;
    t.idxAUX0_OUT = 33;
    t.idxAUX1_OUT = 34;
    t.idxreserved4E = 35;
    t.idxKEYCODE = 36;
    t.idxREV = 37;
    t.idxDAY = 38;
    t.idxMONTH = 39;
    t.idxYEAR = 40;
    t.idxPROD_ID = 41;
    t.idxSCRATCH_A = 42;
    t.idxSCRATCH_B = 43;

    SetRow(t, 0, " ENDURANCE ", 0x00, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 1, " X_NULL  ", 0x02, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 2, " AUX0_NULL ", 0x04, 2, 16, VTrue, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 3, " AUX1_NULL ", 0x06, 2, 16, VTrue, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 4, " reserved8 ", 0x08, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 5, " CAPT_SUPPLY ", 0x0A, 2, 12, VFalse, 0.00122f, 0.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(t, 6, " CAPT_TEMP ", 0x0C, 2, 12, VTrue, -0.47f, 625.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 7, " CAPT_PEAK_X ", 0x0E, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 8, " CAPT_PEAK_Y  ", 0x10, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 9, " CAPT_PEAK_Z  ", 0x12, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 10, " CAPT_BUF1 ", 0x14, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 11, " CAPT_BUF2 ", 0x16, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 12, " CAPT_BUF3 ", 0x18, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 13, " CAPT_PNTR ", 0x1A, 2, 16, VTrue, 1.0f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 14, " CAPT_CTRL ", 0x1C, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 15, " CAPT_PRD  ", 0x1E, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 16, " ALM_MAG1  ", 0x20, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 17, " ALM_MAG2  ", 0x22, 2, 16, VTrue, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 18, " ALM_MAG3  ", 0x24, 2, 16, VTrue, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 19, " ALM_MAG4  ", 0x26, 2, 12, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 20, " ALM_CTRL  ", 0x28, 2, 12, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 21, " reserved2A  ", 0x2A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 22, " GPIO_CTRL ", 0x32, 8, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 23, " MSC_CTRL  ", 0x34, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 24, " DIO_CTRL  ", 0x36, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 25, " AVG_CNT ", 0x38, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 26, " reserved3A  ", 0x3A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 27, " STATUS  ", 0x3C, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 28, " COMMAND1  ", 0x3E, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 29, " ST_DELTA  ", 0x40, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 30, " SUPPLY_OUT  ", 0x42, 2, 12, VFalse, 0.00122f, 0.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(t, 31, " TEMP_OUT  ", 0x44, 2, 12, VTrue, -0.47f, 625.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(t, 32, " X_OUT ", 0x46, 2, 14, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(t, 33, " AUX0_OUT  ", 0x48, 2, 14, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(t, 34, " AUX1_OUT  ", 0x4A, 2, 14, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(t, 35, " reserved4E  ", 0x4E, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 36, " KEYCODE ", 0x50, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 37, " REV ", 0x52, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 38, " DAY ", 0x53, 2, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 39, " MONTH ", 0x54, 2, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 40, " YEAR  ", 0x55, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 41, " PROD_ID ", 0x56, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 42, " SCRATCH_A ", 0x58, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 43, " SCRATCH_B ", 0x5A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    return t;
}

RegisterMap Make31473()
{
    RegisterMap t;
    t.product = 31473;
    t.LastRegisterIndex = 34;
    t.idxENDURANCE = 0;
    t.idxX_NULL = 1;
    t.idxAUX0_NULL = 2;
    t.idxAUX1_NULL = 3;
    t.idxCAPT_SUPPLY = 4;
    t.idxCAPT_TEMP = 5;
    t.idxCAPT_PEAK_X = 6;
    t.idxCAPT_PEAK_Y = 7;
    t.idxCAPT_PEAK_Z = 8;
    t.idxCAPT_BUF1 = 9;
    t.idxCAPT_BUF2 = 10;
    t.idxCAPT_BUF3 = 11;
    t.idxCAPT_PNTR = 12;
    t.idxCAPT_CTRL = 13;
    t.idxCAPT_PRD = 14;
    t.idxALM_MAG1 = 15;
    t.idxALM_MAG2 = 16;
    t.idxALM_MAG3 = 17;
    t.idxALM_MAG4 = 18;
    t.idxNULL_CNT = 24;
    t.idxALM_CTRL = 19;
    t.idxGPIO_CTRL = 20;
    t.idxMSC_CTRL = 21;
    t.idxDIO_CTRL = 22;
    t.idxAVG_CNT = 23;
    t.idxSTATUS = 25;
    t.idxCOMMAND = 26;
    t.idxKEYCODE = 27;
    t.idxREV = 28;
    t.idxDAY = 29;
    t.idxMONTH = 30;
    t.idxYEAR = 31;
    t.idxPROD_ID = 32;
    t.idxSCRATCH_A = 33;
    t.idxSCRATCH_B = 34;
    t.idxRESERVED5C = 35;
    t.idxSIGNTRL = 36;
    t.idxSIGNTRM = 37;
    t.idxSIGNTRU = 38;
    t.idxCHKSUML = 39;
    t.idxCHKSUMM = 40;
    t.idxCHKSUMU = 41;

    SetRow(t, 0, " ENDURANCE ", 0x00, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 1, " X_NULL  ", 0x02, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 2, " Y_NULL  ", 0x04, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 3, " Z_NULL  ", 0x06, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 4, " CAPT_SUPPLY ", 0x0A, 2, 16, VFalse, kJustBelow5Over4096, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 5, " CAPT_TEMP ", 0x0C, 2, 16, VTrue, -0.47f, 625.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 6, " CAPT_PEAK_X ", 0x0E, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 7, " CAPT_PEAK_Y ", 0x10, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 8, " CAPT_PEAK_Z ", 0x12, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 9, " CAPT_BUF_X  ", 0x14, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 10, " CAPT_BUF_Y  ", 0x16, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 11, " CAPT_BUF_Z  ", 0x18, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(t, 12, " CAPT_PNTR ", 0x1A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 13, " CAPT_CTRL ", 0x1C, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 14, " CAPT_PRD  ", 0x1E, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 15, " ALM_MAG_X ", 0x20, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 16, " ALM_MAG_Y ", 0x22, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 17, " ALM_MAG_Z ", 0x24, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 18, " ALM_MAG_S ", 0x26, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 19, " ALM_CTRL  ", 0x28, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 20, " GPIO_CTRL ", 0x32, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 21, " MSC_CTRL  ", 0x34, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 22, " DIO_CTRL  ", 0x36, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 23, " AVG_CNT ", 0x38, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 24, " NULL_CNT  ", 0x3A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 25, " STATUS  ", 0x3C, 2, 15, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 26, " COMMAND ", 0x3E, 2, 14, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 27, " RESERVED27  ", 0x50, 2, 16, VFalse, 1.0f, 0.0f, VFalse, VTrue, VFalse, VFalse);
    SetRow(t, 28, " REV___", 0x52, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 29, " DAY___", 0x53, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 30, " MONTH ", 0x54, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 31, " YEAR_", 0x55, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 32, " PROD_ID ", 0x56, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 33, " SCRATCH_A ", 0x58, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 34, " SCRATCH_B ", 0x5A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 35, " RESERVED5C  ", 0x5C, 4, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 36, " SIGNTRL ", 0x60, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 37, " SIGNTRM ", 0x61, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 38, " SIGNTRU ", 0x62, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 39, " CHKSUML ", 0x63, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 40, " CHKSUMM ", 0x64, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(t, 41, " CHKSUMU ", 0x65, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    return t;
}

} // namespace

int32_t RegisterMap::RawOf(int16_t index, int32_t word) const
{
    const RegisterEntry& row = RegisterTable[static_cast<size_t>(index)];
    // Powers of two formed in floating point and rounded, as the register rows expect.
    auto pow2 = [](int exponent) { return static_cast<int32_t>(std::nearbyint(std::pow(2.0, exponent))); };
    const int len = row.ReadLen;
    if (row.TwosCompl == VTrue)
        return (word & (pow2(len - 1) - 1)) - (word & pow2(len - 1));
    return word & (pow2(len) - 1);
}

const RegisterMap& RegisterMapFor(int product)
{
    static const RegisterMap t31470 = Make31470();
    static const RegisterMap t31473 = Make31473();
    return product == 31470 ? t31470 : t31473;
}

const RegisterMap& NoRegisterMap()
{
    static const RegisterMap none{};
    return none;
}


