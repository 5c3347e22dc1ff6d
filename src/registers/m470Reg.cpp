#include "registers/m470Reg.h"
#include <bit>

using namespace m470Reg;

namespace {
// One unit in the last place below 5/4096.
const float kJustBelow5Over4096 = std::bit_cast<float>(0x3A9FFFFFu);

void SetRow(int row, const char* label, int32_t base, uint8_t numBytes, int16_t readLen, VBool twos,
            float scale, float offset, VBool readFlag, VBool writeFlag, VBool ec, VBool nd)
{
    RegisterEntry& e = RegisterTable[row];
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
} // namespace

void BuildTable31470()
{
    LastRegisterIndex = 26;
    idxENDURANCE = 0;
    idxX_NULL = 1;
    idxAUX0_NULL = 2;
    idxAUX1_NULL = 3;
    idxreserved8 = 4;
    idxCAPT_SUPPLY = 5;
    idxCAPT_TEMP = 6;
    idxCAPT_PEAK_X = 7;
    idxCAPT_PEAK_Y = 8;
    idxCAPT_PEAK_Z = 9;
    idxCAPT_BUF1 = 10;
    idxCAPT_BUF2 = 11;
    idxCAPT_BUF3 = 12;
    idxCAPT_PNTR = 13;
    idxCAPT_CTRL = 14;
    idxCAPT_PRD = 15;
    idxALM_MAG1 = 16;
    idxALM_MAG2 = 17;
    idxALM_MAG3 = 18;
    idxALM_MAG4 = 19;
    idxALM_CTRL = 20;
    idxreserved2A = 21;
    idxGPIO_CTRL = 22;
    idxMSC_CTRL = 23;
    idxDIO_CTRL = 24;
    idxAVG_CNT = 25;
    idxreserved3A = 26;
    idxSTATUS = 27;
    idxCOMMAND = 28;
    idxST_DELTA = 29;
    idxSUPPLY_OUT = 30;
    idxTEMP_OUT = 31;
    idxX_OUT = 32;
    idxAUX0_OUT = 33;
    idxAUX1_OUT = 34;
    idxreserved4E = 35;
    idxKEYCODE = 36;
    idxREV = 37;
    idxDAY = 38;
    idxMONTH = 39;
    idxYEAR = 40;
    idxPROD_ID = 41;
    idxSCRATCH_A = 42;
    idxSCRATCH_B = 43;

    SetRow(0, " ENDURANCE ", 0x00, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(1, " X_NULL  ", 0x02, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(2, " AUX0_NULL ", 0x04, 2, 16, VTrue, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(3, " AUX1_NULL ", 0x06, 2, 16, VTrue, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(4, " reserved8 ", 0x08, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(5, " CAPT_SUPPLY ", 0x0A, 2, 12, VFalse, 0.00122f, 0.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(6, " CAPT_TEMP ", 0x0C, 2, 12, VTrue, -0.47f, 625.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(7, " CAPT_PEAK_X ", 0x0E, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(8, " CAPT_PEAK_Y  ", 0x10, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(9, " CAPT_PEAK_Z  ", 0x12, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(10, " CAPT_BUF1 ", 0x14, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(11, " CAPT_BUF2 ", 0x16, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(12, " CAPT_BUF3 ", 0x18, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(13, " CAPT_PNTR ", 0x1A, 2, 16, VTrue, 1.0f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(14, " CAPT_CTRL ", 0x1C, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(15, " CAPT_PRD  ", 0x1E, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(16, " ALM_MAG1  ", 0x20, 2, 16, VTrue, 0.0191f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(17, " ALM_MAG2  ", 0x22, 2, 16, VTrue, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(18, " ALM_MAG3  ", 0x24, 2, 16, VTrue, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(19, " ALM_MAG4  ", 0x26, 2, 12, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(20, " ALM_CTRL  ", 0x28, 2, 12, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(21, " reserved2A  ", 0x2A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(22, " GPIO_CTRL ", 0x32, 8, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(23, " MSC_CTRL  ", 0x34, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(24, " DIO_CTRL  ", 0x36, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(25, " AVG_CNT ", 0x38, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(26, " reserved3A  ", 0x3A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(27, " STATUS  ", 0x3C, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(28, " COMMAND1  ", 0x3E, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(29, " ST_DELTA  ", 0x40, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(30, " SUPPLY_OUT  ", 0x42, 2, 12, VFalse, 0.00122f, 0.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(31, " TEMP_OUT  ", 0x44, 2, 12, VTrue, -0.47f, 625.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(32, " X_OUT ", 0x46, 2, 14, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(33, " AUX0_OUT  ", 0x48, 2, 14, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(34, " AUX1_OUT  ", 0x4A, 2, 14, VTrue, 0.0191f, 0.0f, VTrue, VFalse, VTrue, VTrue);
    SetRow(35, " reserved4E  ", 0x4E, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(36, " KEYCODE ", 0x50, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(37, " REV ", 0x52, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(38, " DAY ", 0x53, 2, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(39, " MONTH ", 0x54, 2, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(40, " YEAR  ", 0x55, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(41, " PROD_ID ", 0x56, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(42, " SCRATCH_A ", 0x58, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(43, " SCRATCH_B ", 0x5A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
}

void BuildTable31473()
{
    LastRegisterIndex = 34;
    idxENDURANCE = 0;
    idxX_NULL = 1;
    idxAUX0_NULL = 2;
    idxAUX1_NULL = 3;
    idxCAPT_SUPPLY = 4;
    idxCAPT_TEMP = 5;
    idxCAPT_PEAK_X = 6;
    idxCAPT_PEAK_Y = 7;
    idxCAPT_PEAK_Z = 8;
    idxCAPT_BUF1 = 9;
    idxCAPT_BUF2 = 10;
    idxCAPT_BUF3 = 11;
    idxCAPT_PNTR = 12;
    idxCAPT_CTRL = 13;
    idxCAPT_PRD = 14;
    idxALM_MAG1 = 15;
    idxALM_MAG2 = 16;
    idxALM_MAG3 = 17;
    idxALM_MAG4 = 18;
    idxNULL_CNT = 24;
    idxALM_CTRL = 19;
    idxGPIO_CTRL = 20;
    idxMSC_CTRL = 21;
    idxDIO_CTRL = 22;
    idxAVG_CNT = 23;
    idxSTATUS = 25;
    idxCOMMAND = 26;
    idxKEYCODE = 27;
    idxREV = 28;
    idxDAY = 29;
    idxMONTH = 30;
    idxYEAR = 31;
    idxPROD_ID = 32;
    idxSCRATCH_A = 33;
    idxSCRATCH_B = 34;
    idxRESERVED5C = 35;
    idxSIGNTRL = 36;
    idxSIGNTRM = 37;
    idxSIGNTRU = 38;
    idxCHKSUML = 39;
    idxCHKSUMM = 40;
    idxCHKSUMU = 41;

    SetRow(0, " ENDURANCE ", 0x00, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(1, " X_NULL  ", 0x02, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(2, " Y_NULL  ", 0x04, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(3, " Z_NULL  ", 0x06, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(4, " CAPT_SUPPLY ", 0x0A, 2, 16, VFalse, kJustBelow5Over4096, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(5, " CAPT_TEMP ", 0x0C, 2, 16, VTrue, -0.47f, 625.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(6, " CAPT_PEAK_X ", 0x0E, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(7, " CAPT_PEAK_Y ", 0x10, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(8, " CAPT_PEAK_Z ", 0x12, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(9, " CAPT_BUF_X  ", 0x14, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(10, " CAPT_BUF_Y  ", 0x16, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(11, " CAPT_BUF_Z  ", 0x18, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VFalse, VFalse, VFalse);
    SetRow(12, " CAPT_PNTR ", 0x1A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(13, " CAPT_CTRL ", 0x1C, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(14, " CAPT_PRD  ", 0x1E, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(15, " ALM_MAG_X ", 0x20, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(16, " ALM_MAG_Y ", 0x22, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(17, " ALM_MAG_Z ", 0x24, 2, 16, VTrue, 0.004768372f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(18, " ALM_MAG_S ", 0x26, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(19, " ALM_CTRL  ", 0x28, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(20, " GPIO_CTRL ", 0x32, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(21, " MSC_CTRL  ", 0x34, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(22, " DIO_CTRL  ", 0x36, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(23, " AVG_CNT ", 0x38, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(24, " NULL_CNT  ", 0x3A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(25, " STATUS  ", 0x3C, 2, 15, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(26, " COMMAND ", 0x3E, 2, 14, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(27, " RESERVED27  ", 0x50, 2, 16, VFalse, 1.0f, 0.0f, VFalse, VTrue, VFalse, VFalse);
    SetRow(28, " REV___", 0x52, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(29, " DAY___", 0x53, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(30, " MONTH ", 0x54, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(31, " YEAR_", 0x55, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(32, " PROD_ID ", 0x56, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(33, " SCRATCH_A ", 0x58, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(34, " SCRATCH_B ", 0x5A, 2, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(35, " RESERVED5C  ", 0x5C, 4, 16, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(36, " SIGNTRL ", 0x60, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(37, " SIGNTRM ", 0x61, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(38, " SIGNTRU ", 0x62, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(39, " CHKSUML ", 0x63, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(40, " CHKSUMM ", 0x64, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
    SetRow(41, " CHKSUMU ", 0x65, 1, 8, VFalse, 1.0f, 0.0f, VTrue, VTrue, VFalse, VFalse);
}
