// The unattended run of an upload list: the list checked as a whole, then carried out line by
// line, one connection per run of lines for the same site, reported in green in the trace. The
// window starts it when first activated, and the headless run (tarn --batch) drives it alone.
#pragma once

#include "model/UploadList.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

class TransferFrame;
struct TSiteRecord;

class UploadRun {
public:
    // What the run asks of the window it works in.
    class Window {
    public:
        [[nodiscard]] virtual bool sessionConnected() = 0;
        // Connects to the current site, or disconnects when connected.
        virtual void acConnectExecute() = 0;
        virtual void ListRemoteDirectory() = 0;
        // One line of the run's report, in green.
        virtual void traceRunLine(const QString& text) = 0;
        // Makes `siteIndex` the current site, leaving the previous one first.
        virtual void selectUploadSite(int siteIndex) = 0;

    protected:
        ~Window() = default;
    };

    UploadRun(Window& window, TransferFrame& transfers);
    UploadRun(const UploadRun&) = delete;
    UploadRun& operator=(const UploadRun&) = delete;

    std::string UploadListName;                         // the list's path as given
    std::optional<std::vector<std::string>> UploadList; // its lines, until the run took them
    bool AutoUploadActive = false;                      // the run is carrying out its lines

    // The run of UploadList; it discards the list, so the run happens once.
    UploadRunResult AutoUploadRun();
    // Splits and checks one list line; a bad line is reported with UploadLineError.
    bool ParseUploadLine(const std::string& line, std::string& fileName, int& siteIndex);
    void UploadLineError(const std::string& line, const QString& reason);

private:
    UploadRunResult uploadListLine(const std::string& line, int n);
    // A file on the window's session, or a whole folder on connections of the queue's engine.
    bool uploadFileOrFolder(const std::string& path, const TSiteRecord& site);

    Window& m_window;
    TransferFrame& m_transfers;
};
