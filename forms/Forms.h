#pragma once

#include "Form1.h"
#include "Form2.h"
#include "Form3.h"

// The program's three windows, each created once and kept for its lifetime.
struct Forms {
    Form2 form2;
    Form3 form3;
    Form1 form1{form2, form3};
};
