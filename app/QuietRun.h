// A run without a window (/quiet): the wizard's work in the wizard's order,
// with the answers documented for administrators, told to the setup log.
#pragma once

class CSetupRun;

// The run's exit code.
int RunQuietSetup(CSetupRun& run);
