// Making sense of the folder typed into the speed-test window.

#include "Form2.h"

#include "ui_Form2.h"

#include "MessageBox.h"
#include "PlatformError.h"
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
    const QString pathError = QStringLiteral("Path error!, check your path and try again!");
    try {
        FileSys->GetFolder(platform::Trim(ui->Text1->text().toStdString()));
        PathError = false;
    } catch (const platform::ShareNotMounted& error) {
        // The path may be right: the person has to mount the share, and is told how.
        platform::MsgBox(pathError + QStringLiteral("\r\n") + QString::fromStdString(error.what()), platform::vbCritical,
                         QStringLiteral("Error!"));
        PathError = true;
    } catch (const std::exception&) {
        platform::MsgBox(pathError, platform::vbCritical, QStringLiteral("Error!"));
        PathError = true;
    }
}
