// Dialog resources: what an .rc dialog template says about a dialog, without geometry.
//
// A resource names the dialog (its id and caption), its window style and its controls in tab
// order. Control ids, kinds, texts, visibility and grouping are fixed by the resource; a backend
// lays the controls out itself. Resources are plain const globals written with designated
// initialisers:
//
//   const DialogResource kIPAddrInpDlg{375, "ホスト名/IPアドレス・パスワード入力", {
//       {Static, IDC_STATIC, "主装置のホスト名/IPアドレスとパスワードを入力してください。"},
//       {Edit,   2550, "", {.maxLength = 64}},
//       {Button, IDOK, "OK", {.defaultButton = true}}}};
//
// Files that declare resources bring the control kinds into scope with `using enum ControlKind;`.
// Texts are UTF-8. A resource must outlive every dialog built from it (a global does).
#pragma once

#include <string_view>
#include <vector>

#include "ui/win_types.h"

enum class ControlKind {
  Static,    // a text the user cannot change
  Edit,      // a text field
  Button,    // a push button: a click is a command
  CheckBox,  // an automatic check box: a click toggles it, then is a command
  Radio,     // an automatic radio button: a click checks it and clears the rest of its group
  GroupBox,  // a frame with a caption
  Progress,  // a progress bar (range and position)
  Icon,      // an icon picture (iconId)
};

struct ControlOptions {
  bool visible = true;
  // Starts a group: radio buttons from a group start up to the next group start form one group.
  bool group = false;
  bool disabled = false;
  // Edit: the number of characters the field accepts; 0 = no limit.
  int maxLength = 0;
  // Edit: shows masking characters instead of the text.
  bool password = false;
  // Edit: the user cannot change the text (the code can).
  bool readOnly = false;
  bool rightAlign = false;
  bool centered = false;
  bool multiline = false;
  // Button: the button Enter presses when the focus is not on another push button.
  bool defaultButton = false;
  // Icon: the icon resource shown.
  int iconId = 0;
};

struct ControlResource {
  ControlKind kind;
  int id;
  std::string_view text;
  ControlOptions options = {};
};

struct DialogStyle {
  // Stays above every other window while shown.
  bool systemModal = false;
  // The title bar carries no system menu and no close button.
  bool noSystemMenu = false;
  // Brought to the foreground when shown.
  bool setForeground = false;
};

struct DialogResource {
  int id;
  std::string_view caption;
  std::vector<ControlResource> controls;
  DialogStyle style = {};

  // The first control with this id, or null. IDC_STATIC finds the first unnamed static.
  const ControlResource* findControl(int controlId) const;
};
