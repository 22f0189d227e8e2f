#pragma once

// The speed-test window's test classes, run one after another by one program.
int runReportTests(int argc, char** argv);
int runTargetPathTests(int argc, char** argv);
int runCopySafetyTests(int argc, char** argv);
