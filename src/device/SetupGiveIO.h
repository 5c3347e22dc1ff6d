#pragma once
// The port-access step: on Linux it claims the parallel port at PortAddress (ppdev, or
// I/O permission as fallback) instead of installing a kernel driver.
void InstallGiveio();
// After the access step nothing more is needed for the process to reach the port.
int giveio();
// The whole start of the port transport: access step, giveio(), GiveioInstalled, ParallelPulse.
void StartParallelPortAccess();
