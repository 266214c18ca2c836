#pragma once
// Label spacing of the chart's axes: the increment the program asks for, widened until the
// labels fit, and for the time axis rounded up to a step a person reads easily.

// Smallest standard date-time step (in days: 1 s, 2 s, 5 s ... 1 h, 2 h ... 1 day ...) not below
// atLeast.
double NiceTimeStep(double atLeast);

// The desired increment, or a tenth of the span when none is set, enlarged by a whole factor
// until no more than axisPixels / labelPixels labels fall into the span.
double ReadableStep(double desired, double span, double axisPixels, double labelPixels);

// Smallest step of 1, 2 or 5 times a power of ten not below atLeast, and never below 1: the
// value axis labels whole numbers, so a smaller step would print the same label twice.
double NiceWholeStep(double atLeast);

// The same without the floor of 1, for an axis that shows one channel's own scale (a range of
// 0 to 1.6 needs steps of 0.2); a step that is no positive number gives 1.
double NiceDecimalStep(double atLeast);
// Decimals a label needs at that step: 0 for 1 and above, 1 for 0.2, 2 for 0.05.
int StepDecimals(double step);
