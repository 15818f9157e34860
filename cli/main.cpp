// virs-cli: the command-line companion of the meter link program. It runs the
// same core as the window (station model, exchange, rendering, workbook).

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/Commands.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct Command {
    const char* Name;
    int (*Run)(const virs::cli::Args&);
    const char* Usage;
};

const Command Commands[] = {
    {"station", virs::cli::CmdStation, "station [DIR]  — дерево станции из DIR/base.dat"},
    {"station-copy", virs::cli::CmdStationCopy,
     "station-copy SRC DST  — загрузить SRC и сохранить как DST"},
    {"render", virs::cli::CmdRender,
     "render --dir DIR --node N --device K [--view 0..4] [--locale ru|system] [--out ФАЙЛ.txt] "
     "[--pdf ФАЙЛ.pdf]  — текст вида прибора из DIR/base.dat (виды 1..3: архив из книги прибора)"},
    {"read", virs::cli::CmdRead,
     "read --dir DIR --node N --device K --view current|settings [--port COMn|ПУТЬ] "
     "[--dial-timeout СЕК]  — "
     "прочитать прибор по связи узла, сохранить образ в base.dat и вывести вид; ответа модема на "
     "вызов ждёт не дольше --dial-timeout (по умолчанию 120 с), Ctrl+C или SIGTERM — отбой "
     "(\"+++\", \"ATH0\"), образ сохраняется, выход 1"},
    {"poll", virs::cli::CmdPoll,
     "poll --dir DIR --node N --device K [--port COMn|ПУТЬ] [--interval МС] [--timeout МС] "
     "[--retries N] [--jobs N] [--duration СЕК] [--report СЕК] [--job-limit СЕК] [--dial-timeout "
     "СЕК]  — "
     "циклический опрос текущих значений прибора; итог: задания по кодам результата, память, "
     "потоки и дескрипторы процесса"},
#ifdef VIRS_HAVE_WORKBOOK
    {"archive", virs::cli::CmdArchive,
     "archive --dir DIR --node N --device K --kind daily|hourly|monthly --from ГГГГ-ММ-ДД "
     "--to ГГГГ-ММ-ДД [--mode averages|integrators] [--port COMn|ПУТЬ] "
     "[--now ГГГГ-ММ-ДДTЧЧ:ММ:СС] [--dial-timeout СЕК]  — прочитать архив прибора в книгу .xls в "
     "DIR и вывести вид"},
    {"collect", virs::cli::CmdCollect,
     "collect --dir DIR [--nodes all|N[,M...]] [--what current,settings,archives] "
     "[--kind daily|hourly|monthly] [--since last|ГГГГ-ММ-ДД] [--to ГГГГ-ММ-ДД] [--parallel K] "
     "[--summary ФАЙЛ.json] [--now ГГГГ-ММ-ДДTЧЧ:ММ:СС] [--dial-timeout СЕК]  — опросить всю "
     "станцию без оператора: "
     "текущие, параметры и архивы каждого прибора, итоговая таблица; выход 0 — всё прочитано, "
     "1 — были ошибки, 2 — неверные аргументы"},
    {"workbook-dump", virs::cli::CmdWorkbookDump,
     "workbook-dump ФАЙЛ  — все непустые ячейки книги .xls, по строке на ячейку"},
#endif
    {"exchange", virs::cli::CmdExchange,
     "exchange --port COMn|ПУТЬ [--baud 9600] [--parity none|odd|even] [--stop 1|2] "
     "[--timeout 3000] [--retries 3] [--chunk 32] --address A --function 3|16|67 --start R "
     "--count N [--data HEX...]  — один обмен Modbus, протокол в ModBus_protocol.txt"},
    {"modem-setup", virs::cli::CmdModemSetup,
     "modem-setup --port COMn|ПУТЬ [--preset default|rx100] [--commands ФАЙЛ]  — настройка "
     "удалённого модема"},
    {"adapter-address", virs::cli::CmdAdapterAddress,
     "adapter-address --port COMn|ПУТЬ --address N  — назначить адаптеру ВИРСШ адреса N, N+1"},
    {"firmware", virs::cli::CmdFirmware,
     "firmware --port COMn|ПУТЬ --image ФАЙЛ [--yes]  — обновление прошивки ВИРС-Д"},
    {"ports", virs::cli::CmdPorts, "ports  — последовательные порты этой машины"},
    {"make-demo", virs::cli::CmdMakeDemo,
     "make-demo DIR --com N [--com-dialup M] [--com-gsm K] [--force]  — демо-станция для "
     "virs-sim (узлы: прямая линия, Dial-Up, GSM)"},
};

void PrintUsage(std::FILE* to) {
    std::fprintf(to, "Использование: virs-cli КОМАНДА [АРГУМЕНТЫ]\nКоманды:\n");
    for (const Command& c : Commands)
        std::fprintf(to, "  %s\n", c.Usage);
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The output is UTF-8: a console shows it as such only when told so.
    SetConsoleOutputCP(CP_UTF8);
#endif
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
        !std::strcmp(argv[1], "help")) {
        PrintUsage(stdout);
        return 0;
    }
    virs::cli::Args args(argv + 2, argv + argc);
    for (const Command& c : Commands)
        if (!std::strcmp(argv[1], c.Name))
            return c.Run(args);
    std::fprintf(stderr, "virs-cli: неизвестная команда '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
