#include "service/engines/wholetext.h"

#include <memory>
#include <optional>
#include <vector>

#include <QPointer>
#include <QStringList>

#include "service/engines/engine.h"
#include "service/text/completeness.h"
#include "service/text/textpieces.h"
#include "service/text/translationtext.h"

using namespace Qt::StringLiterals;

namespace tarnix::service {

namespace {

using Outcome = WholeTextResult::Outcome;

struct Job
{
    QPointer<Engine> engine;
    WholeTextRequest request;
    TokenForm form {};
    TextPieces pieces;
    std::vector<PreparedText> prepared;
    std::vector<bool> askedAgain; // per piece: its second ask was made
    std::vector<bool> askedAlone; // per piece: its batch answer failed and it was asked alone
    // Per piece: it went on down the chain to an engine without the glossary,
    // with the glossary's terms masked (EngineResult::fallBack).
    std::vector<bool> fellBack;
    std::optional<KeptTerms> maskedTerms; // the request's terms and the glossary's, once a piece needs them
    QStringList translated;
    std::vector<std::function<void(bool, EngineResult::Kept)>> checked;
    QStringList answers; // per piece: the engine's text before it was finished
    QStringList engines;
    QStringList notes;
    std::function<void(const WholeTextResult &)> done;
    QList<qsizetype> toSend; // the pieces that need an engine, in order
    qsizetype next = 0; // the next of them to send
    qsizetype waiting = 0; // pieces sent and not answered
    qsizetype fromMemory = 0;
    double requests = 0; // the engine requests every answer took, second asks included
    qsizetype characters = 0; // what the engines were sent, second asks included
    qsizetype storing = 0; // stores of accepted pieces not answered yet
    bool over = false;

    void finish(Outcome outcome, const QString &text, bool allFromMemory = false)
    {
        over = true;
        done({outcome, text, engines.join(u','), allFromMemory, notes.join(u"; "_s), requests, characters});
    }
};

// The translation of one piece: the engine's answer finished, its
// placeholders checked, the piece checked for completeness on its own.
void received(const std::shared_ptr<Job> &job, qsizetype index, const EngineResult &result);

// The terms a piece is masked with: the glossary's too where the engine
// has no glossary of its own.
const KeptTerms &termsOf(const Job &job, std::size_t piece)
{
    return job.fellBack[piece] ? *job.maskedTerms : job.request.terms;
}

// Engines trip over one token form where they copy another (Apertium moves
// two names past each other, or glues a number into a compound): a piece
// whose answer breaks a placeholder is asked for once more from the same
// engine with the other form, and that answer passes the same checks.
bool askAgain(const std::shared_ptr<Job> &job, qsizetype index, const EngineResult &result, const QString &fault)
{
    const auto piece = std::size_t(index);
    if (job->askedAgain[piece] || !result.askAgain)
        return false;
    job->askedAgain[piece] = true;
    const TokenForm other = job->form == TokenForm::Natural ? TokenForm::Bracketed : TokenForm::Natural;
    PreparedText again = prepareForEngine(job->prepared[piece].source, other, termsOf(*job, piece));
    if (again.masked.text == job->prepared[piece].masked.text)
        return false;
    job->notes.append(u"asked again: "_s + fault);
    job->prepared[piece] = std::move(again);
    ++job->waiting;
    result.askAgain(
        job->prepared[piece].masked.text, [job, index](const EngineResult &second) { received(job, index, second); });
    return true;
}

// A store of an accepted piece has answered; the last one finishes the job.
void stored(const std::shared_ptr<Job> &job);

void pump(const std::shared_ptr<Job> &job)
{
    const int parallel = job->engine ? std::max(1, job->engine->textLimits().parallel) : 1;
    while (!job->over && job->waiting < parallel && job->next < job->toSend.size()) {
        const qsizetype index = job->toSend[job->next++];
        const PreparedText &prepared = job->prepared[std::size_t(index)];
        if (!job->engine) {
            job->finish(Outcome::Unavailable, u"The service is stopping."_s);
            return;
        }
        ++job->waiting;
        job->engine->translateInContext(job->request.source, job->request.target, prepared.masked.text,
            job->request.context, [job, index](const EngineResult &result) { received(job, index, result); });
    }
    if (job->over || job->waiting > 0 || job->next < job->toSend.size())
        return;
    const QString whole = joinPieces(job->translated, job->pieces.separators);
    if (const auto cut = incompleteness(job->request.text, whole, job->request.target)) {
        job->finish(Outcome::Refused, u"the translation looks incomplete: "_s + *cut);
        return;
    }
    // Accepted: the memory keeps every piece now, before the answer leaves.
    // Where another request or service stored a piece's translation first,
    // the answer carries that one, so that every client gets the same.
    job->storing = 1; // until every piece's store is asked
    for (std::size_t i = 0; i < job->checked.size(); ++i) {
        if (!job->checked[i])
            continue;
        ++job->storing;
        job->checked[i](true, [job, i](const std::optional<QString> &kept) {
            if (kept && *kept != job->answers[qsizetype(i)]) {
                if (auto first = finishTranslation(job->prepared[i], *kept); std::holds_alternative<QString>(first))
                    job->translated[qsizetype(i)] = std::get<QString>(std::move(first));
            }
            stored(job);
        });
    }
    stored(job);
}

void stored(const std::shared_ptr<Job> &job)
{
    if (--job->storing > 0 || job->over)
        return;
    const QString whole = joinPieces(job->translated, job->pieces.separators);
    job->finish(Outcome::Translated, whole, !job->toSend.isEmpty() && job->fromMemory == job->toSend.size());
}

void received(const std::shared_ptr<Job> &job, qsizetype index, const EngineResult &result)
{
    --job->waiting;
    if (job->over)
        return;
    // The engine that takes the glossary failed the piece, which was sent
    // with the terms as written: the engines further down are sent it with
    // the terms masked, as if they had been asked first.
    if (result.status != EngineResult::Status::Translated && result.fallBack) {
        const auto piece = std::size_t(index);
        if (!job->maskedTerms)
            job->maskedTerms = job->request.terms.withGlossary(job->request.glossary);
        job->fellBack[piece] = true;
        job->prepared[piece] = prepareForEngine(job->prepared[piece].source, job->form, *job->maskedTerms);
        ++job->waiting;
        result.fallBack(
            job->prepared[piece].masked.text, [job, index](const EngineResult &next) { received(job, index, next); });
        return;
    }
    job->requests += result.requests;
    if (!result.fromMemory && result.status != EngineResult::Status::Unsupported)
        job->characters += job->prepared[std::size_t(index)].masked.text.size();
    if (!result.engine.isEmpty() && !job->engines.contains(result.engine))
        job->engines.append(result.engine);
    if (result.status == EngineResult::Status::Unsupported) {
        job->finish(Outcome::Unsupported, result.detail);
        return;
    }
    if (result.status == EngineResult::Status::Unavailable) {
        job->finish(Outcome::Unavailable, result.detail);
        return;
    }
    const PreparedText &prepared = job->prepared[std::size_t(index)];
    const auto finished = finishTranslation(prepared, result.text);
    std::optional<QString> fault;
    if (const auto *placeholder = std::get_if<PlaceholderFault>(&finished))
        fault = placeholder->what;
    else if (const auto cut = incompleteness(prepared.source, std::get<QString>(finished), job->request.target))
        fault = u"the translation looks incomplete: "_s + *cut;
    else if (const auto term = job->request.glossary.missingIn(prepared.source, std::get<QString>(finished)))
        fault = u"the translation does not use the glossary's \"%1\" for \"%2\""_s.arg(term->target, term->source);
    if (fault) {
        // The memory forgets an entry that now fails the checks.
        if (result.checked)
            result.checked(false, nullptr);
        // An answer taken from a batch is asked for alone first: only what
        // fails as a single request is asked again or refused.
        if (result.batched && result.askAgain && !job->askedAlone[std::size_t(index)]) {
            job->askedAlone[std::size_t(index)] = true;
            ++job->waiting;
            // The answer alone can still be asked for with the other token form.
            result.askAgain(prepared.masked.text, [job, index, again = result.askAgain](EngineResult alone) {
                if (!alone.askAgain)
                    alone.askAgain = again;
                received(job, index, alone);
            });
            return;
        }
        if (askAgain(job, index, result, *fault))
            return;
        job->finish(Outcome::Refused, *fault);
        return;
    }
    job->translated[index] = std::get<QString>(finished);
    job->answers[index] = result.text;
    job->checked[std::size_t(index)] = result.checked;
    job->fromMemory += result.fromMemory ? 1 : 0;
    pump(job);
}

// Masks, cuts and sends the text once the engine's glossary is settled.
void start(const std::shared_ptr<Job> &job)
{
    Engine *engine = job->engine;
    if (!engine) {
        job->finish(Outcome::Unavailable, u"The service is stopping."_s);
        return;
    }
    // Engines without a glossary of their own are shown its terms masked,
    // and their answers get the team's translations in their place.
    if (!engine->takesGlossary(job->request.source, job->request.target))
        job->request.terms = job->request.terms.withGlossary(job->request.glossary);
    job->pieces = splitText(job->request.text, engine->textLimits().longestText, job->request.terms);
    job->form = engine->tokenForm(job->request.source, job->request.target);
    const qsizetype count = job->pieces.pieces.size();
    job->translated.resize(count);
    job->answers.resize(count);
    job->checked.resize(std::size_t(count));
    job->askedAgain.resize(std::size_t(count));
    job->askedAlone.resize(std::size_t(count));
    job->fellBack.resize(std::size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        job->prepared.push_back(prepareForEngine(job->pieces.pieces[i], job->form, job->request.terms));
        // Placeholders, kept terms or white space alone: nothing for an
        // engine, the piece is its own translation.
        if (job->prepared.back().masked.text.isEmpty())
            job->translated[i] = job->pieces.pieces[i];
        else
            job->toSend.append(i);
    }
    pump(job);
}

} // namespace

void translateWholeText(Engine *engine, WholeTextRequest request, std::function<void(const WholeTextResult &)> done)
{
    auto job = std::make_shared<Job>();
    job->engine = engine;
    job->request = std::move(request);
    job->done = std::move(done);
    // An engine with a glossary of its own may have to find or make it
    // first: only then does takesGlossary() say whether it has one.
    engine->prepareGlossary(job->request.source, job->request.target, [job]() { start(job); });
}

} // namespace tarnix::service
