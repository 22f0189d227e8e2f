#include "Form2.h"

#include "Background.h"
#include "Clock.h"
#include "DummyFile.h"
#include "MessageBox.h"
#include "PlatformError.h"
#include "RunCount.h"
#include "ShareAddress.h"
#include "Runtime.h"
#include "WindowingLayer.h"

#include <chrono>
#include <cstdint>

using forms::FormatNumber;

namespace {

const std::string errorTitle = "Error!";

} // namespace

Form2::Form2()
    : forms::Window(design())
{
    OnClick(Command1, &Form2::Command1_Click, Starts::Work);
    // The copy's clean-up deletes from the folder in the path box.
    LockDuringWork(Text1);
}

void Form2::Form_Load()
{
    FileSys = std::make_shared<platform::FileSystemObject>();
    Image3.SetPicture(Image1.Picture());
}

void Form2::Command1_Click()
{
    if (platform::Trim(Text1.Text()).empty()) {
        forms::MsgBox("You must enter a target path", forms::vbCritical, errorTitle);
        return;
    }
    NormalizeTargetPath();
    CheckTargetPath();
    RunTransfer();
}

void Form2::NormalizeTargetPath()
{
    // Only a backslash counts: "/mnt/nas/" becomes "/mnt/nas/\", which the
    // file layer reads as one separator.
    const std::string path = Text1.Text();
    if (path.empty() || path.back() != '\\')
        Text1.SetText(path + '\\');
}

void Form2::CheckTargetPath()
{
    const std::string pathError = "Path error!, check your path and try again!";
    try {
        FileSys->GetFolder(platform::Trim(Text1.Text()));
        PathError = false;
    } catch (const platform::ShareNotMounted& error) {
        // The path may be right: the person has to mount the share, and is told how.
        forms::MsgBox(pathError + "\r\n" + error.what(), forms::vbCritical, errorTitle);
        PathError = true;
    } catch (const std::exception&) {
        forms::MsgBox(pathError, forms::vbCritical, errorTitle);
        PathError = true;
    }
}

void Form2::RunTransfer()
{
    if (PathError != false)
        return;
    const std::string destination = Text1.Text();
    std::string copy;
    bool copied = false;
    try {
        Image3.SetPicture(Image2.Picture());
        CountRun(TransferCount);

        const std::string source = dummyFilePath();
        const std::int64_t size = platform::FileLen(source);
        AppendReportLine("Transfer:" + platform::IntToText(TransferCount));
        AppendReportLine("Transfering file...please wait..");
        Refresh();
        Text1.Refresh();

        // The copy runs on a worker thread while the windows stay responsive.
        // The clock brackets it there and nowhere else, and it ends when the
        // data is on the target's storage, not when a local cache has taken it.
        const platform::Clock& clock = platform::clock();
        std::chrono::nanoseconds start{}, end{};
        std::int64_t copiedBytes = 0;
        forms::RunInBackground(*this, [&](std::stop_token stop) {
            // A share address is looked up before the clock starts: finding
            // the mount (and perhaps a name) is no part of the transfer.
            copy = platform::resolvePath(destination + "/dummyfile.dum");
            start = clock.now();
            copiedBytes = FileSys->CopyFile(source, copy, true, stop);
            end = clock.now();
            copied = true;
        });
        // Another program may have rewritten the test file since its length
        // was read: a rate for bytes that were not copied would be a lie.
        if (copiedBytes != size) {
            DeleteRemoteFile();
            throw platform::Error("The test file changed while it was copied: " + platform::IntToText(copiedBytes)
                                  + " bytes were copied, not " + platform::IntToText(size)
                                  + ". Write it again, then check again.");
        }
        const double elapsed = platform::elapsedSeconds(start, end, clock.resolution());

        const double bytes = static_cast<double>(size);
        AppendReportLine("Filesize:" + FormatNumber(bytes) + " bytes");
        AppendReportLine("Filesize:" + FormatNumber(static_cast<double>(size / 1024)) + " KB");
        AppendReportLine("Filesize:" + FormatNumber(static_cast<double>(size / 1048576)) + " MB");
        AppendReportLine("Total time:" + FormatNumber(elapsed) + " sec");
        AppendReportLine("Bytes/sec:" + FormatNumber(bytes / elapsed));
        AppendReportLine("KB/sec:" + FormatNumber(bytes / 1024 / elapsed));
        AppendReportLine("MB/sec:" + FormatNumber(bytes / 1048576 / elapsed));
        AppendReportLine("Transfer completed");
        AppendReportLine(std::string(64, '-') + "\r\n");

        Image3.SetPicture(Image1.Picture());
        DeleteRemoteFile();
    } catch (const platform::Cancelled&) {
        // The window was closed during the run. A copy that had already
        // reached the target is removed all the same; the controls are gone.
        const std::string leftOver = copied ? platform::removeLeftOver(copy) : std::string();
        if (!leftOver.empty())
            forms::MsgBox("Transfer failed: the copy was stopped" + leftOver, forms::vbCritical, errorTitle);
    } catch (const std::exception& error) {
        forms::MsgBox(std::string("Transfer failed: ") + error.what(), forms::vbCritical, errorTitle);
    }
}

void Form2::DeleteRemoteFile()
{
    try {
        platform::DeleteFile(Text1.Text() + "/dummyfile.dum");
    } catch (const std::exception&) {
        forms::MsgBox("Error deleting remote dummyfile! Check your permission settings!", forms::vbCritical,
                      errorTitle);
    }
}

void Form2::AppendReportLine(const std::string& line)
{
    Text2.AppendText(line + "\r\n");
}
