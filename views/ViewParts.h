#pragma once
// The branches of RenderDeviceView, one per view and device family. Each adds
// its lines to the pane's list; none keeps state.

#include "acquisition/WorkArea.h"
#include "views/DeviceView.h"
#include "views/ViewLocale.h"

namespace virs {

// Current and total values, after the identification and "отчёт за " lines.
void AddShCurrentLines(const TShCurrentBlock& block, const TViewLocale& locale, TViewLines& lines);
void AddDCurrentLines(const TDCurrentBlock& block, bool fourChannels, const TViewLocale& locale,
                      TViewLines& lines);
void AddD2CurrentLines(const TD2Image& image, const TViewLocale& locale, TViewLines& lines);

// Settings listings.
void AddDSettingsLines(const TDSettingsBlock& block, bool fourChannels, const TViewLocale& locale,
                       TViewLines& lines);
void AddD2SettingsLines(const TD2Image& image, const TViewLocale& locale, TViewLines& lines);

// Texts of the codes of the ВИРС-Д2 registers; codes outside the tables read
// "неизвестный код N".
std::string ChannelSchemeText(unsigned scheme);
std::string BaudRateText(unsigned code);
std::string ParityText(unsigned code);
std::string UnknownCodeText(unsigned code);

} // namespace virs
