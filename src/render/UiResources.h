// The colours and text formats every drawing routine shares.
#pragma once
#include "platform/Canvas.h"

namespace vell {

// Font families of every text format: the Windows face first, then the Korean faces.
inline constexpr const char* kUiFontFamilies = "Segoe UI, NanumGothic, NanumBarunGothic, Noto Sans CJK KR, sans-serif";

// The colours and text formats that every drawing routine shares.
struct UiResources {
  bool complete = false;

  // Colours (the brushes), straight alpha.
  Color accent = Color::rgb(0x6366F1);
  Color accentLight = Color::rgb(0x8183F8);
  Color white = Color::rgb(0xFFFFFF);
  Color text = Color::rgb(0xF0F0F5);
  Color textDim = Color::rgb(0xA0A0AF);
  Color textMuted = Color::rgb(0x646473);
  Color background = Color::rgb(0x121216);
  Color panel = Color::rgb(0x1C1C23, 0.97f);
  Color hoverDisc = Color::rgb(0x262630, 0.6f);
  Color darkest = Color::rgb(0x0E0E12);
  Color controlBar = Color::rgb(0x14141A);
  Color seekLine = Color::rgb(0x2D2D37, 0.4f);
  Color seekTrack = Color::rgb(0x32323C);
  Color seekFill = Color::rgb(0x6366F1);
  Color volumeTrack = Color::rgb(0x32323C);
  Color volumeFill = Color::rgb(0x6366F1);
  Color red = Color::rgb(0xEF4444);
  Color black50 = Color::rgb(0x000000, 0.5f);
  Color black70 = Color::rgb(0x000000, 0.7f);
  Color black60 = Color::rgb(0x000000, 0.6f);
  Color black85 = Color::rgb(0x000000, 0.85f);
  Color accent15 = Color::rgb(0x6366F1, 0.15f);
  Color accent20 = Color::rgb(0x6366F1, 0.2f);
  Color accent30 = Color::rgb(0x6366F1, 0.3f);
  Color accent25 = Color::rgb(0x6366F1, 0.25f);
  Color white90 = Color::rgb(0xFFFFFF, 0.9f);
  Color separator50 = Color::rgb(0x2D2D37, 0.5f);
  Color separator30 = Color::rgb(0x2D2D37, 0.3f);
  Color closeHover = Color::rgb(0xE63333, 0.9f);
  Color tooltip = Color::rgb(0x262630, 0.95f);
  Color meterBar = Color::rgb(0x6366F1, 0.8f);
  Color meterGlow = Color::rgb(0x6366F1, 0.3f);
  Color green = Color::rgb(0x21C45E);
  Color green15 = Color::rgb(0x21C45E, 0.15f);
  Color red70 = Color::rgb(0xEF4444, 0.7f);
  Color surface262630 = Color::rgb(0x262630);
  Color surface2D2D37 = Color::rgb(0x2D2D37);
  Color surface262630at80 = Color::rgb(0x262630, 0.8f);
  Color surface262630at50 = Color::rgb(0x262630, 0.5f);

  // The text formats.
  TextFormat label12;        // semibold 12, leading, centre, wrap
  TextFormat body12NoWrap;   // 12, leading, centre, no wrap
  TextFormat small10;        // semibold 10, centre, centre, wrap
  TextFormat body12;         // 12, leading, centre, wrap
  TextFormat toast18;        // semibold 18, centre, centre, one line cut with an ellipsis
  TextFormat hint15;         // light 15, centre, top, wrap
  TextFormat heading18;      // semibold 18, centre, top, wrap
  TextFormat tooltip11;      // medium 11, centre, centre, wrap
  TextFormat small11NoWrap;  // 11, leading, centre, no wrap
  TextFormat tiny9Trailing;  // 9.5, trailing, centre, wrap
  TextFormat subtitle;       // bold, subtitle size, centre, bottom, wrap
  TextFormat title14NoWrap;  // semibold 14, leading, centre, no wrap
  TextFormat button12;       // 12, centre, centre: the input dialog's buttons
  TextFormat small10Line;    // small10 on one line, cut with an ellipsis (button labels)
  TextFormat label12Line;    // label12 centred on one line, cut with an ellipsis (the now-playing title)

  float subtitleSize = 0;

  // Replaces every format (at start and after every resize). The subtitle size is kept in 16..48.
  void build(float subtitleSizePoints);
  // Rebuilds the subtitle format when the size differs from the one it was made with.
  void setSubtitleSize(float subtitleSizePoints);
};

}  // namespace vell
