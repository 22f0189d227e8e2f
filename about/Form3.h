#pragma once

#include "Window.h"

#include <memory>

namespace Ui {
class Form3;
}

// The About window: a short notice with the authors and a contact address.
class Form3 : public platform::Window {
    Q_OBJECT

public:
    Form3();
    ~Form3() override;

protected:
    QWidget* CreateControls() override;
    void ForgetControls() override;
    void Form_Load() override;

private:
    std::unique_ptr<Ui::Form3> ui;
};
