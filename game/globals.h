// game/globals.h — the game's shared module globals (zu_Tessel_...), set once by zuInit.
// Depends on: runtime.
#pragma once

#include "runtime/array.h"
#include "runtime/string.h"

extern int zu_Tessel_GameNum;
extern float zu_Tessel_rawscrw, zu_Tessel_rawscrh; // reference screen, 640 x 480
extern float zu_Tessel_jscrw, zu_Tessel_jscrh;     // current virtual screen
extern float zu_Tessel_overscan;                   // border inset in device pixels
extern int zu_Tessel_UseHDImages;
extern int zu_Tessel_DebugMode;
extern int zu_Tessel_HasMusicStream;
extern int zu_Tessel_iCadeControls;
extern int zu_Tessel_J_On_Able;
extern int zu_Tessel_J_On_Allow, zu_Tessel_isOuya, zu_Tessel_OnScreenControls,
    zu_Tessel_AccelerometerControls;
extern Array<String> zu_Tessel_MenuSet;    // 3 pairs: seconds as text, caption
extern Array<String> zu_Tessel_CreditText; // 59 credit lines
// The check-in endpoint, a build setting (LEXORM_CHECKIN_URL, empty unless given); the request
// goes out only when zu_Tessel_J_On_Allow is 1, which nothing in the program sets.
extern String zu_Tessel_CheckInUrl;

// The game's part of start-up: the network layer's globals and its own, with their roots
// after the framework's.
void zu_Tessel_InitGlobals();
