#pragma once
// The texts of the main window and its small dialogs, each exactly as the
// operator sees it. Kept in one place so that a window never spells one anew.

#include "jobs/StationEdits.h"

namespace virs::texts {

inline constexpr const char* MainTitle = "Связь с расходомерами серии ВИРС (версия 1.9.2)";
inline constexpr const char* TitleSeparator = " - ";

// Tool bar hints.
inline constexpr const char* HintNewNode = "новый узел";
inline constexpr const char* HintNewDevice = "новый прибор";
inline constexpr const char* HintClone = "клонировать прибор";
inline constexpr const char* HintDelete = "удалить (Del)";
inline constexpr const char* HintDetail = "подробно";
inline constexpr const char* HintAddParam = "добавить параметр";
inline constexpr const char* HintRemoveParam = "убрать параметр";
inline constexpr const char* HintConnect = "соединение с узлом";
inline constexpr const char* HintStartStop = "старт/стоп (F5)";
inline constexpr const char* HintCyclic = "циклический опрос";
inline constexpr const char* HintSaveAs = "сохранить как (Ctrl+S)";
inline constexpr const char* HintPrint = "печать (Ctrl+P)";
inline constexpr const char* HintUtilities = "Настройки, утилиты";
inline constexpr const char* HintHelp = "Справка (F1)";

// The drop-down menu of the utilities button.
inline constexpr const char* MenuModemSetup = "настройка удалённого модема";
inline constexpr const char* MenuAdapterAddresses =
    "назначение новых сетевых адресов адаптеру ВИРСШ";
inline constexpr const char* MenuFirmware = "обновление прошивки ВИРС-Д";
inline constexpr const char* MenuFont = "шрифт";

// The property panel.
inline constexpr const char* CaptionNode = "Узел";
inline constexpr const char* CaptionDevice = "Прибор";
inline constexpr const char* ColumnKey = "Свойство";
inline constexpr const char* ColumnValue = "Значение";
inline constexpr const char* RowLinkType = "Тип соединения";
inline constexpr const char* RowDeviceCount = "Кол-во приборов";
inline constexpr const char* RowDeviceType = "Тип";
inline constexpr const char* RowNetAddress = "Сетевой номер";
inline constexpr const char* RowReportTemplate = "Шаблон отчёта";
inline constexpr const char* TemplateDialogTitle = "Файл шаблона отчёта";
inline constexpr const char* TemplateDialogFilter = "файлы шаблона отчёта (*.frf)";

// Parameter editor (TForm2).
inline constexpr const char* ParamEditorCaption = "Редактор параметра";
inline constexpr const char* ParamLabel = "Метка:";
inline constexpr const char* ParamCaption = "Свойство:";
inline constexpr const char* ParamValue = "Значение:";
inline constexpr const char* ParamCharsLeft = "Осталось символов:";

// Connection settings (TForm3).
inline constexpr const char* ConnectionDialogCaption = "Настройка соединения";
inline constexpr const char* ConnPort = "COM-порт";
inline constexpr const char* ConnBaud = "скорость";
inline constexpr const char* ConnStopBits = "кол-во стоп-битов";
inline constexpr const char* ConnParity = "чётность";
inline constexpr const char* ConnLinkType = "тип соединения";
inline constexpr const char* ConnDialMode = "режим набора номера";
inline constexpr const char* ConnTone = "тональный";
inline constexpr const char* ConnPulse = "импульсный";
inline constexpr const char* ConnPhone = "номер для дозвона:";
inline constexpr const char* ConnModemInit = "строка инициализации местного модема";
inline constexpr const char* ConnReset = "сброс";
inline constexpr const char* ConnRetries = "число попыток запросов";
inline constexpr const char* ConnTimeout = "тайм-аут ожидания ответа, мс";
inline constexpr const char* StopBits1 = "1 стоп-бит";
inline constexpr const char* StopBits2 = "2 стоп-бита";
inline constexpr const char* ParityNone = "нет";
inline constexpr const char* ParityOdd = "нечет";
inline constexpr const char* ParityEven = "чёт";
inline constexpr const char* DefaultModemInit = "AT&FE0V1";
// The standard conversion message; %1 is the offending text.
inline constexpr const char* NotAnInteger = "'%1' is not a valid integer value";
inline constexpr const char* RetriesRange = "Число попыток запросов должно быть от 1 до 255.";
inline constexpr const char* TimeoutRange =
    "Тайм-аут ожидания ответа должен быть от 1 до 65535 мс.";

// Delete confirmation (TForm6).
inline constexpr const char* DeleteCaption = "Удаление";
inline constexpr const char* DeleteQuestion = "Вы действительно хотите удалить это?";
inline constexpr const char* DeleteNoAskBox = "Не спрашивать больше";

// Refusals that keep a running link or job intact (the station edits' own).
using virs::RefuseDeleteLinkNode;
using virs::RefuseMoveLinkNode;
using virs::RefuseWhilePolling;

// What the text pane shows for device types kept from older bases.
inline constexpr const char* LegacyTypeNote =
    "Приборы этого типа программа не опрашивает: данных для показа нет.";

inline constexpr const char* HelpFileName = "HelpFile.chm";
inline constexpr const char* HelpWindowTitle = "Справка";
inline constexpr const char* ModelRefusalCaption = "Связь с расходомерами серии ВИРС";

} // namespace virs::texts
