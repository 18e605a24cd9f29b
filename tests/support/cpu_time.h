// cpu_time.h - the processor time this test process has used, for the checks
// that waiting does not keep a core busy.
#pragma once

double ProcessCpuSeconds();
