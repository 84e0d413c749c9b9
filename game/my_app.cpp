// game/my_app.cpp — c_MyApp's construction (every field, the big arrays allocated once) and
// what it holds for the collector.
// Depends on: my_app.h.
#include "my_app.h"

c_MyApp* c_MyApp::m_new() {
  gc_assign(m_Images, Array<c_Image*>(100));
  gc_assign(m_ImageInfo, Array<int>(300));
  gc_assign(m_DrawQueue, Array<float>(kDrawQueueFloats));
  gc_assign(m_TouchDown, Array<int>(10));
  gc_assign(m_TouchX, Array<int>(10));
  gc_assign(m_TouchY, Array<int>(10));
  gc_assign(m_VButtons, Array<int>(20));
  gc_assign(m_Stars, Array<float>(5100));
  gc_assign(m_Particles, Array<float>(5100));
  gc_assign(m_WordStore, Array<int>(2500005));
  gc_assign(m_Bag, Array<int>(250));
  p_InitLetterTables();
  gc_assign(m_Grid, Array<float>(kGridFloats));
  gc_assign(m_Player, Array<float>(512));
  gc_assign(m_Objects, Array<float>(5100));
  gc_assign(m_Sounds, Array<c_Sound*>(100));
  gc_assign(m_SfxMap, Array<int>(33));
  gc_assign(m_Settings, Array<int>(25));
  gc_assign(m_Badges, Array<bool>(256));
  gc_assign(m_HighScores, Array<int>(150));
  gc_assign(m_BestWordScores, Array<int>(150));
  gc_assign(m_BestWords, Array<String>(150));
  gc_assign(m_BadgeIds, Array<int>(15));
  gc_assign(m_BadgeTimers, Array<int>(15));
  gc_assign(m_PenTrail, Array<float>(2 * kPenTrailLength));
  m_CheckInReply = String("N/A");
  c_App::m_new();
  return this;
}

void c_MyApp::mark() {
  gc_mark_q(m_Images);
  gc_mark_q(m_ImageInfo);
  gc_mark_q(m_DrawQueue);
  gc_mark_q(m_TouchDown);
  gc_mark_q(m_TouchX);
  gc_mark_q(m_TouchY);
  gc_mark_q(m_VButtons);
  gc_mark_q(m_Stars);
  gc_mark_q(m_Particles);
  gc_mark_q(m_BankBuffer);
  gc_mark_q(m_WordStore);
  gc_mark_q(m_Bag);
  gc_mark_q(m_BagCounts);
  gc_mark_q(m_LetterValues);
  gc_mark_q(m_Grid);
  gc_mark_q(m_Player);
  gc_mark_q(m_Objects);
  gc_mark_q(m_Sounds);
  gc_mark_q(m_SfxMap);
  gc_mark_q(m_Settings);
  gc_mark_q(m_Badges);
  gc_mark_q(m_HighScores);
  gc_mark_q(m_BestWordScores);
  gc_mark_q(m_BestWords);
  gc_mark_q(m_BadgeIds);
  gc_mark_q(m_BadgeTimers);
  gc_mark_q(m_PenTrail);
  gc_mark_q(m_CheckInRequest);
}
