// setup.exe: hardens DLL loading, builds the real machine and the windows, and hands the run
// to the core.
#include "app/installer.h"
#include "diag/win32/crash_handler.h"
#include "platform/win32/win32_machine.h"
#include "platform/win32/win32_util.h"
#include "ui/win32/frame_window.h"
#include "ui/disk_dialogs.h"
#include "ui/win32/directory_dialogs.h"
#include "ui/win32/legal_dialogs.h"
#include "ui/win32/page_host.h"
#include "ui/win32/resume_dialog.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a library: never one planted in a download folder or on a CD.
    zov::win32::restrictLibrarySearch();
    zov::win32::CrashForTestsIfAsked(); // test builds only
    // OLE is not entered here: entering it makes a hidden window and costs a silent run tens
    // of milliseconds for nothing. Whatever first hosts a control (the movie, the consent
    // page) enters it then; the shell's link calls enter COM for themselves.

    static zov::win32::Win32Machine realMachine(instance);
    static zov::Machine machine = realMachine.machine();
    static zov::win32::Look look(instance, machine.strings);
    static zov::win32::FrameWindow frame(instance, look);
    static zov::InstallerApp app(machine, frame);
    static zov::win32::Win32PageHost pages(look, frame);
    static zov::win32::Win32DirectoryDialogs directoryDialogs(look, frame, app.runContext());
    static zov::ScreenDialogs screens(app.runContext(), app.session(), pages, directoryDialogs,
                                      app.boxDialogs());
    static zov::win32::WizardDialogs dialogs(look, frame, screens);
    static zov::win32::Win32LegalView legal(look, frame);

    frame.setRouter([](UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        std::intptr_t r = 0;
        bool handled = app.onFrameMessage(message, wParam, lParam, r);
        result = static_cast<LRESULT>(r);
        return handled;
    });
    frame.setCloseHandler([] { app.frameLogic().onClose(); });
    frame.setCreatedHandler([](HWND hwnd) { realMachine.setOwner(hwnd); });
    frame.setTimerHandler([] { app.frameLogic().onFrameTimer(); });
    frame.setCancelHandler([] { app.frameLogic().requestCancel(); });
    frame.setPaintText([] { return app.frameLogic().frameTextForPaint(); });
    frame.setMovieSupport(machine.profile, app.trace());
    frame.setMovieCommandHandler(
        [](const std::string& command) { app.frameLogic().onMovieCommand(command); });
    frame.setDialogHandler([](HWND dialog, bool made) {
        if (made)
            realMachine.addDialog(dialog);
        else
            realMachine.removeDialog(dialog);
    });
    app.setPageHost(pages);
    app.setDialogs(dialogs);
    app.wizard().chooseDirectory = screens.directoryChooser();
    dialogs.setRunContext(app.runContext());
    app.setLegalView(legal);

    app.run(zov::withoutProgramName(GetCommandLineA()));
}
