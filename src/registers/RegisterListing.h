#pragma once
// The register window's text listing of every register (Read All), line by line.
#include "device/BenchSession.h"
#include "registers/m470Reg.h"
#include <QString>
#include <optional>
#include <cstdint>

namespace RegisterListing {

// Lines end with CR LF.
QString HeaderLines();
// Label as listed: "______" appended below 5 characters, cut to 11, trailing blanks removed.
QString ListedName(const QString& label);
// Last four hex digits of the value, zero-padded ("FFFB" for -5, "001A" for 26).
QString ListedValue(int32_t raw);
// One register line, CR LF included.
QString Line(const QString& label, int32_t baseAddr, int32_t raw);

// Reads rows 0..LastRegisterIndex (with `everyRow`, every row of the table) in order and returns
// the whole listing. A row that is not readable repeats the value of the read before it, as
// RegRaw keeps it.
QString ReadAll(BenchSession& session, bool everyRow = false);
inline QString ReadAll(bool everyRow = false) { return ReadAll(ProgramSession(), everyRow); }
// The last row of the table that holds a register.
int16_t LastTableRow(const RegisterMap& table);
// A register of the product's table by label (spaces trimmed, any case) or row number, over every
// labelled row; nullopt when there is none such. The command line and the Python module look up alike.
std::optional<int16_t> FindRegisterRow(const RegisterMap& table, const QString& labelOrRow);

} // namespace RegisterListing
