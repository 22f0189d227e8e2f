#pragma once

#include "Window.h"

// The About window: a short notice with the authors and a contact address.
class Form3 : public forms::Window {
public:
    Form3();

    static const forms::WindowDesign& design();

private:
    void Form_Load() override;

    forms::Label Label1{*this, "Label1"};
};
