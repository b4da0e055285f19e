#pragma once

#include <functional>

#include <QString>

#include "service/text/keptterms.h"

namespace tarnix::service {

class Engine;

// The answer to one whole text.
struct WholeTextResult
{
    enum class Outcome {
        Translated, // text is the whole translation
        Refused, // an answer came but is not used; text says why (a placeholder, a cut)
        Unsupported, // no engine translates the pair; text says why
        Unavailable, // no engine answered; text says why
    };
    Outcome outcome = Outcome::Unavailable;
    QString text;
    QString engine; // the engines that answered, for the log
    bool fromMemory = false; // every piece came from the translation memory
    QString note; // for the log: the placeholders a second ask was made for
    double requests = 0; // the engine requests it took (EngineResult::requests)
    qsizetype characters = 0; // the characters of text the engines were sent for it
};

// One text to translate, with the terms every engine is shown masked.
struct WholeTextRequest
{
    QString source;
    QString target;
    QString text;
    QString context; // what the text is, for engines that use it (Engine::translateInContext)
    KeptTerms terms;
    // The team's translations of terms: an answer must use the translation
    // of every term of the text, or it is asked again and then refused.
    Glossary glossary = {};
};

// Translates `text` whole or not at all. A text longer than the engine takes
// in one request is cut at paragraph and sentence boundaries
// (service/text/textpieces.h); the pieces are translated at most the
// engine's `parallel` at a time, each with its placeholders masked and
// checked (an answer that breaks one is asked for once more from the same
// engine with the other token form, which engines trip over differently),
// and put back together with the source's own white space. A piece that
// the engine taking the glossary itself fails goes on down the chain with
// the glossary's terms masked (EngineResult::fallBack). Then the whole
// answer must look complete beside the source
// (service/text/completeness.h). Only then does the translation memory keep
// the pieces: a refused text leaves nothing of itself there. `done` is called
// once, later from the event loop.
void translateWholeText(Engine *engine, WholeTextRequest request, std::function<void(const WholeTextResult &)> done);

} // namespace tarnix::service
