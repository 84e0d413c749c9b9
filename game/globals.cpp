// game/globals.cpp — the program's start-up hooks: zuInit (every module global, roots in the
// order the collector queues them) and zuMain (the game object); the zu_Tessel_ globals.
// Depends on: app, game (my_app.h, credits.h), runtime.
#include "globals.h"

#include "app/app.h"
#include "credits.h"
#include "my_app.h"
#include "net/async.h"
#include "runtime/startup.h"

#ifndef LEXORM_CHECKIN_URL
#define LEXORM_CHECKIN_URL ""
#endif

int zu_Tessel_GameNum;
float zu_Tessel_rawscrw, zu_Tessel_rawscrh;
float zu_Tessel_jscrw, zu_Tessel_jscrh;
float zu_Tessel_overscan;
int zu_Tessel_UseHDImages;
int zu_Tessel_DebugMode;
int zu_Tessel_HasMusicStream;
int zu_Tessel_iCadeControls;
int zu_Tessel_J_On_Able;
int zu_Tessel_J_On_Allow, zu_Tessel_isOuya, zu_Tessel_OnScreenControls, zu_Tessel_AccelerometerControls;
Array<String> zu_Tessel_MenuSet;
Array<String> zu_Tessel_CreditText;
String zu_Tessel_CheckInUrl;

void zu_Tessel_InitGlobals() {
  zu_asyncevent_InitGlobals();
  zu_Tessel_CheckInUrl = String(LEXORM_CHECKIN_URL);
  zu_Tessel_isOuya = zu_Tessel_overscan = zu_Tessel_J_On_Allow = 0;
  zu_Tessel_GameNum = 415;
  zu_Tessel_UseHDImages = 1;
  zu_Tessel_DebugMode = 0;
  zu_Tessel_rawscrw = zu_Tessel_jscrw = 640;
  zu_Tessel_rawscrh = zu_Tessel_jscrh = 480;
  zu_Tessel_iCadeControls = 0;
  zu_Tessel_HasMusicStream = 1;
  // "\n" in the captions is the two characters backslash and n: the text drawing breaks
  // lines there.
  const char* menu[6] = {"30",  "Half a Minute.\\nGotta be Quick!",        "60", "Just a Minute.\\n",
                         "120", "Two whole Minutes.\\nGo for a Highscore."};
  gc_assign(zu_Tessel_MenuSet, Array<String>(6));
  for (int i = 0; i < 6; ++i) zu_Tessel_MenuSet[i] = String(menu[i]);
  gc_assign(zu_Tessel_CreditText, Array<String>(kCreditLineCount));
  for (int i = 0; i < kCreditLineCount; ++i) zu_Tessel_CreditText[i] = String(kCreditLines[i]);
  zu_Tessel_OnScreenControls = zu_Tessel_AccelerometerControls = 0;
  zu_Tessel_J_On_Able = 0;

  gc_root(zu_Tessel_MenuSet);
  gc_root(zu_Tessel_CreditText);
}

void zuInit() {
  zu_app_InitGlobals();
  zu_Tessel_InitGlobals();
}

int zuMain() {
  (new c_MyApp)->m_new();
  return 0;
}
