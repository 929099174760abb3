#pragma once

#include "editor/FilmStripKnobLook.h"

// One look per knob, each with its own strip; they differ only in the strip and its frames.

/** Drive: 64 frames of 259 x 263. */
class CustomLookAndFeel2A : public FilmStripKnobLook
{
  public:
    CustomLookAndFeel2A();
    ~CustomLookAndFeel2A() override;
};

/** Boost: 5 frames of 424 x 451, one per network. */
class CustomLookAndFeelBOOST : public FilmStripKnobLook
{
  public:
    CustomLookAndFeelBOOST();
    ~CustomLookAndFeelBOOST() override;
};

/** Dry Mix: 64 frames of 219 x 203. */
class CustomLookAndFeel2B : public FilmStripKnobLook
{
  public:
    CustomLookAndFeel2B();
    ~CustomLookAndFeel2B() override;
};

/** Input Adj: 64 frames of 218 x 214. */
class CustomLookAndFeel2D : public FilmStripKnobLook
{
  public:
    CustomLookAndFeel2D();
    ~CustomLookAndFeel2D() override;
};

/** Output Adj: 64 frames of 216 x 217. */
class CustomLookAndFeel2E : public FilmStripKnobLook
{
  public:
    CustomLookAndFeel2E();
    ~CustomLookAndFeel2E() override;
};

/** Low Pass: 64 frames of 176 x 174. */
class CustomLookAndFeel2F : public FilmStripKnobLook
{
  public:
    CustomLookAndFeel2F();
    ~CustomLookAndFeel2F() override;
};

/** High Pass: 64 frames of 190 x 181. */
class CustomLookAndFeel2G : public FilmStripKnobLook
{
  public:
    CustomLookAndFeel2G();
    ~CustomLookAndFeel2G() override;
};
