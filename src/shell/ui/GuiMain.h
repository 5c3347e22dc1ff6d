#pragma once
// The program's start-up: loading message, delay calibration, settings, tables, main window.
class QString;
void Main();
