#pragma once
// The port-access step: on Linux it claims the parallel port at PortAddress (ppdev, or
// I/O permission as fallback) instead of installing a kernel driver.
#include "device/BenchSession.h"
#include <QString>
#include <cstdint>

void InstallGiveio(BenchSession& session);
// After the access step nothing more is needed for the process to reach the port.
int giveio();
// The whole start of the port transport: access step, giveio(), GiveioInstalled, ParallelPulse.
void StartParallelPortAccess(BenchSession& session);
inline void StartParallelPortAccess() { StartParallelPortAccess(ProgramSession()); }
// The port window's OK: takes the address into the windows' session, selects the parallel port
// and, on the first use in this run, runs the access step.
void AcceptPortAddress(BenchSession& session, int16_t address);
inline void AcceptPortAddress(int16_t address) { AcceptPortAddress(ProgramSession(), address); }
// The address as the port window shows it: 16-bit hex, upper case, no prefix.
QString PortAddressText(int16_t address);
