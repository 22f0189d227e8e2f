// Making sense of the folder typed into the speed-test window.

#include "Form2.h"

#include "ui_Form2.h"

#include "MessageBox.h"
#include "Runtime.h"

void Form2::NormalizeTargetPath()
{
    // Only a backslash counts: "/mnt/nas/" becomes "/mnt/nas/\", which the
    // file layer reads as one separator.
    const QString path = ui->Text1->text();
    if (!path.endsWith(QLatin1Char('\\')))
        ui->Text1->setText(path + QLatin1Char('\\'));
}

void Form2::CheckTargetPath()
{
    try {
        FileSys->GetFolder(platform::Trim(ui->Text1->text().toStdString()));
        PathError = false;
    } catch (const std::exception&) {
        platform::MsgBox(QStringLiteral("Path error!, check your path and try again!"), platform::vbCritical,
                         QStringLiteral("Error!"));
        PathError = true;
    }
}
