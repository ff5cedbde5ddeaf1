#pragma once
// The program's command ids as the toolkit takes them. Menu and tool ids
// must stay below 0x7fff; the program's commands from 0x7fff to 57766 move
// down by a fixed distance into a range no command of the program uses.
// Higher ids (the print preview's buttons) would land on other commands:
// their windows number them on their own.
inline constexpr int kWxIdShift = 25000;
inline constexpr int kFirstShiftedId = 0x7fff - kWxIdShift;
inline constexpr int ToWxId(int command) { return command < 0x7fff ? command : command - kWxIdShift; }
inline constexpr int FromWxId(int id) { return id >= kFirstShiftedId && id < 0x7fff ? id + kWxIdShift : id; }
