// win32-views-shot: the Win32 options dialog or History window on the demo board, for a look at
// them under a virtual X server with Wine. Arguments: "general", "sensor NODE" (a tree node's
// text, e.g. "+12V") or "history [MINUTES]" (passes on the board's virtual clock first, with the
// Cpu temperature, a fan's count and VCore changing). It stays up for a few seconds so that
// the X server's screen can be taken.
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/history_presenter.h"
#include "platform/sim/sim_chip.h"
#include "ui/win32/history_window.h"
#include "ui/win32/options_dialog.h"
#include "win32_view_support.h"

namespace {

using namespace calventa;

void RunFor(DWORD milliseconds)
{
    const DWORD end = GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        win32test::Pump();
        Sleep(20);
    }
}

HTREEITEM FindItem(HWND tree, HTREEITEM item, const std::wstring& text)
{
    for (; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
        wchar_t buffer[128] = {};
        TVITEMW query{};
        query.mask = TVIF_TEXT | TVIF_HANDLE;
        query.hItem = item;
        query.pszText = buffer;
        query.cchTextMax = 128;
        TreeView_GetItem(tree, &query);
        if (text == buffer) {
            return item;
        }
        if (HTREEITEM found = FindItem(tree, TreeView_GetChild(tree, item), text)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string what = argc > 1 ? argv[1] : "general";
    win32test::DemoMonitor demo;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (what == "history") {
        const int minutes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
        const int intervalMs = demo.monitor->State().Settings.SensorInterval * 1000;
        const int passes = minutes * 60000 / intervalMs;
        for (int i = 0; i < passes; ++i) {
            const double t = i * intervalMs / 1000.0;
            demo.sim->AdvanceMs(static_cast<uint64_t>(intervalMs));
            if (t >= 0.6 * minutes * 60 && t < 0.6 * minutes * 60 + 120) {
                continue; // suspended: no pass
            }
            const double load = std::sin(t / 90.0);
            const auto cpu = static_cast<uint8_t>(std::lround(48 + 14 * load + (i % 7 == 0 ? 3 : 0)));
            demo.sim->IsaChip()->Poke(0x50, cpu, 1);
            if (sim::SimChip* lm75 = demo.sim->SmbusChip(0x48)) {
                lm75->Poke(0x00, cpu);
            }
            demo.sim->IsaChip()->Poke(0x28, static_cast<uint8_t>(std::lround(150 - 40 * load)));
            demo.sim->IsaChip()->Poke(0x20, static_cast<uint8_t>(94 + (i % 5 == 0 ? 2 : 0)));
            demo.monitor->UpdatePass();
        }
        ui::win32::HistoryWindow window(instance);
        SetWindowPos(window.Handle(), nullptr, 40, 20, 900, 860, SWP_NOZORDER);
        window.Render(core::BuildHistoryContent(demo.monitor->History(), demo.monitor->State(),
                                                demo.monitor->MainWindow(), window.Span()));
        window.Show();
        RunFor(9000);
        return 0;
    }
    ui::win32::OptionsDialog dialog(instance, nullptr, demo.options->Presenter(), platform::PlatformFamily::NtFamily);
    demo.options->Open();
    dialog.Render();
    dialog.Show();
    if (what == "sensor" && argc > 2) {
        HWND tree = dialog.Control("OptionsTree");
        if (HTREEITEM item = FindItem(tree, TreeView_GetRoot(tree), ui::win32::view::Wide(argv[2]))) {
            TreeView_SelectItem(tree, item);
        }
    }
    RunFor(9000);
    return 0;
}
