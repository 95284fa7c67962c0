// A piece of text as the outline objects of its glyphs (the text itself is
// not kept). It passes operations on to its outlines like a group, but is
// never exploded or closed and draws its outlines' document array copies.
#pragma once
#include "DocDataComposite.h"

class CDocDataChar : public CDocDataComposite {
public:
    // An empty text, selected.
    CDocDataChar();
    // With `adopt` the list becomes the children, otherwise the children are
    // copies of the whole list and the caller keeps it. Layer and colour from
    // the first object; selected.
    CDocDataChar(CDocData* objects, bool adopt, DOCCONTEXT* ctx);
    CDocDataChar(const CDocDataChar& source);
    ~CDocDataChar() override = default;

    // A text keeps its array record: it is never exploded.
    void ExplodeArray(DOCCONTEXT*) override {}
    // A text is never closed through its outlines.
    bool Close() override { return false; }
    void DrawArrayCopies(CDC* dc, DOCCONTEXT* ctx) override;

    static CDocData* Copy(const CDocData& source);

protected:
    CDocData* CopySelf() const override { return new CDocDataChar(*this); }
};
