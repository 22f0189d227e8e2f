// The measurement: copy the test file to the target folder, time it, report
// the rate and remove the copy again.

#include "Form2.h"

#include "ui_Form2.h"

#include "Clock.h"
#include "DummyFile.h"
#include "MessageBox.h"
#include "PlatformError.h"
#include "NumberFormat.h"
#include "Runtime.h"
#include "TextControls.h"

#include <cstdint>
#include <limits>

using platform::FormatNumber;

namespace {

const QString errorTitle = QStringLiteral("Error!");

} // namespace

void Form2::RunTransfer()
{
    if (PathError != false)
        return;
    try {
        ShowStatusPicture(true);
        if (TransferCount == std::numeric_limits<qint16>::max())
            throw platform::Error("Overflow: no more than 32767 runs can be counted.");
        ++TransferCount;

        const std::string source = dummyFilePath();
        const std::int64_t size = platform::FileLen(source);
        AppendReportLine(QStringLiteral("Transfer:") + QString::fromStdString(platform::IntToText(TransferCount)));
        AppendReportLine(QStringLiteral("Transfering file...please wait.."));
        Refresh();
        platform::Refresh(ui->Text1);

        // The clock brackets the copy alone: it ends when the data is on the
        // target's storage, not when the local cache has taken it.
        const std::string destination = ui->Text1->text().toStdString();
        const platform::Clock& clock = platform::clock();
        const auto start = clock.now();
        FileSys->CopyFile(source, destination, true);
        const auto end = clock.now();
        const double elapsed = platform::elapsedSeconds(start, end, clock.resolution());

        const double bytes = static_cast<double>(size);
        AppendReportLine(QStringLiteral("Filesize:") + FormatNumber(bytes) + QStringLiteral(" bytes"));
        AppendReportLine(QStringLiteral("Filesize:") + FormatNumber(static_cast<double>(size / 1024)) + QStringLiteral(" KB"));
        AppendReportLine(QStringLiteral("Filesize:") + FormatNumber(static_cast<double>(size / 1048576)) + QStringLiteral(" MB"));
        AppendReportLine(QStringLiteral("Total time:") + FormatNumber(elapsed) + QStringLiteral(" sec"));
        AppendReportLine(QStringLiteral("Bytes/sec:") + FormatNumber(bytes / elapsed));
        AppendReportLine(QStringLiteral("KB/sec:") + FormatNumber(bytes / 1024 / elapsed));
        AppendReportLine(QStringLiteral("MB/sec:") + FormatNumber(bytes / 1048576 / elapsed));
        AppendReportLine(QStringLiteral("Transfer completed"));
        AppendReportLine(QString(64, QLatin1Char('-')) + QStringLiteral("\r\n"));

        ShowStatusPicture(false);
        DeleteRemoteFile();
    } catch (const std::exception& error) {
        platform::MsgBox(QStringLiteral("Transfer failed: ") + QString::fromStdString(error.what()),
                         platform::vbCritical, errorTitle);
    }
}

void Form2::DeleteRemoteFile()
{
    try {
        platform::DeleteFile(ui->Text1->text().toStdString() + "/dummyfile.dum");
    } catch (const std::exception&) {
        platform::MsgBox(QStringLiteral("Error deleting remote dummyfile! Check your permission settings!"),
                         platform::vbCritical, errorTitle);
    }
}

void Form2::AppendReportLine(const QString& line)
{
    platform::SetText(ui->Text2, platform::Text(ui->Text2) + line + QStringLiteral("\r\n"));
}
