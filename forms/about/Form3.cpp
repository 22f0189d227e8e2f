#include "Form3.h"

#include <string>

namespace {

const std::string crLf = "\r\n";

} // namespace

Form3::Form3()
    : forms::Window(design())
{
}

void Form3::Form_Load()
{
    Label1.SetCaption("" + crLf + crLf + "Written by the Dozozeda developers." + crLf);
    Label1.SetCaption(Label1.Caption() + " If you like it, send a mail to: " + DOZOZEDA_CONTACT_MAIL);
}
