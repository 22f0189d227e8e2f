#include "Form2.h"

#include "Background.h"
#include "DummyFile.h"
#include "MessageBox.h"
#include "Paths.h"
#include "PlatformError.h"
#include "RunCount.h"
#include "Runtime.h"
#include "ShareAddress.h"
#include "TimedCopy.h"
#include "WindowingLayer.h"

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

// The folder as the check reads it. Leading spaces are no part of a
// folder's name, nor is the backslash that marks the box's text as a folder
// on Linux, where a backslash can be part of a name.
std::string Form2::TargetPath()
{
    return platform::boxFolder(platform::Trim(Text1.Text()));
}

// The lookup runs in the background like the copy: a share whose server has
// gone away holds it for as long as the file system waits.
void Form2::CheckTargetPath()
{
    const std::string pathError = "Path error!, check your path and try again!";
    const std::string folder = TargetPath();
    try {
        forms::RunInBackground(*this, [&](std::stop_token) {
            TargetFolder = platform::resolvePath(folder);
            FileSys->GetFolder(TargetFolder);
        });
        PathError = false;
    } catch (const platform::Cancelled&) {
        // The window was closed during the check; no run follows it.
        PathError = true;
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
    const platform::ResolvedPath destination = TargetFolder.child("dummyfile.dum");
    RemoteCopy = {};
    try {
        Image3.SetPicture(Image2.Picture());
        CountRun(TransferCount);

        const platform::ResolvedPath source = dummyFilePath();
        const std::int64_t size = platform::FileLen(source);
        AppendReportLine("Transfer:" + platform::IntToText(TransferCount));
        AppendReportLine("Transfering file...please wait..");
        Refresh();
        Text1.Refresh();

        // The copy runs on a worker thread while the windows stay responsive;
        // the clock brackets it there and nowhere else.
        measure::CopyTiming timing;
        forms::RunInBackground(*this, [&](std::stop_token stop) {
            timing = measure::timeCopy(source, destination, stop);
            RemoteCopy = timing.copy;
        });
        // Another program may have rewritten the test file since its length
        // was read: a rate for bytes that were not copied would be a lie.
        if (timing.bytes != size) {
            DeleteRemoteFile();
            throw platform::Error("The test file changed while it was copied: " + platform::IntToText(timing.bytes)
                                  + " bytes were copied, not " + platform::IntToText(size)
                                  + ". Write it again, then check again.");
        }
        const double elapsed = timing.seconds();

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
    } catch (const platform::Cancelled& stopped) {
        // The window was closed during the run, and the controls may be gone.
        // The copy removed what it had written, unless it reached its end
        // just as the stop came: then it is removed here.
        std::string leftOver = stopped.leftOver();
        if (!RemoteCopy.native().empty()) {
            try {
                forms::RunInBackground(*this, [&](std::stop_token) { leftOver = platform::removeLeftOver(RemoteCopy); });
            } catch (const platform::Cancelled&) {
                // Closed again meanwhile; the removal still ran to its end.
            }
        }
        if (!leftOver.empty())
            forms::MsgBox("Transfer failed: the copy was stopped" + leftOver, forms::vbCritical, errorTitle);
    } catch (const std::exception& error) {
        forms::MsgBox(std::string("Transfer failed: ") + error.what(), forms::vbCritical, errorTitle);
    }
}

void Form2::DeleteRemoteFile()
{
    try {
        forms::RunInBackground(*this, [this](std::stop_token) { platform::DeleteFile(RemoteCopy); });
    } catch (const platform::Cancelled&) {
        // The window was closed meanwhile; a delete cannot be cut short, and
        // this one ran to its end.
    } catch (const std::exception&) {
        forms::MsgBox("Error deleting remote dummyfile! Check your permission settings!", forms::vbCritical,
                      errorTitle);
    }
}

void Form2::AppendReportLine(const std::string& line)
{
    Text2.AppendText(line + "\r\n");
}
