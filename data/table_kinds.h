// The kinds the file and link operations are told about: which table, which speed-dial form,
// where rows came from, which call history. Each is one scoped enum, used the same everywhere.
#pragma once

// Which table an exchange file or a local phonebook file holds.
enum class ExchangeKind { SpeedDial, Extensions, Templates };

// The speed-dial file family: 7 columns, or 10 (display mode and two templates added).
enum class SpeedDialForm { SevenColumns, TenColumns };

// The form sysTanfMode names (1: 10 columns).
inline SpeedDialForm speedDialFormOf(int tanfMode) {
  return tanfMode != 0 ? SpeedDialForm::TenColumns : SpeedDialForm::SevenColumns;
}

// Where rows come from: the main unit (its own line ends and field rules) or a user's file.
enum class RowSource { MainUnit, UserFile };

// Which call history: internal (extension) calls or external (outside-line) calls.
enum class HistoryKind { Internal, External };
