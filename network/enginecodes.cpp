#include "network/enginecodes.h"

#include "core/prompts.h"
#include "engine/korvan_engine.h"

#include <algorithm>
#include <limits>

QString EngineFailureWords(int32_t code)
{
    switch (code) {
    case KV_ENGINE_ERR_ARGUMENT:
        return QStringLiteral("The engine refused the call: a value, a size or a network parameter is outside what it accepts.");
    case KV_ENGINE_ERR_NO_NETWORK:
        return QStringLiteral("The engine holds no trained network for this project: train it first.");
    case KV_ENGINE_ERR_TOO_FEW_ROWS:
        return QStringLiteral("Too few usable rows: a row with an empty value in a field the network uses is left out.");
    case KV_ENGINE_ERR_LAYOUT:
        return QStringLiteral("The network was made for another number of input fields than the project now has.");
    case KV_ENGINE_ERR_BAD_CLASS:
        return QStringLiteral("A row's class number is outside 0 to 256.");
    case KV_ENGINE_ERR_ZERO_RANGE:
    case KV_ENGINE_ERR_CONSTANT_INPUT:
        return QStringLiteral("An input field holds one value in every usable row: it tells the network nothing.");
    case KV_ENGINE_ERR_NUMERIC:
        return QStringLiteral("The network's arithmetic overflowed: a weight or a prediction is no longer a number. "
                              "Reset the network, or train with a smaller learning rate.");
    case KV_ENGINE_ERR_FILE_IO:
        return QStringLiteral("The engine's network file could not be read or written.");
    case KV_ENGINE_ERR_BAD_FILE:
        return QStringLiteral("The engine's network file is damaged or is not a network file.");
    case KV_ENGINE_ERR_WRONG_KIND:
        return QStringLiteral("The engine's network file holds a network of the other kind.");
    case KV_ENGINE_ERR_CATEGORY_LIMIT:
        return QStringLiteral("The network would need more than %1 category nodes: every training row that fits "
                              "no category makes a new one, and these rows need more than the engine can hold. "
                              "Train on fewer rows, or lower the vigilance.")
            .arg(KV_SFAM_MAX_CATEGORIES);
    case KV_ENGINE_ERR_NO_MEMORY:
        return QStringLiteral("The engine ran out of memory for these rows: train on fewer rows.");
    default:
        return {};
    }
}

void EngineBox(const QString& text, int32_t code, const QString& title)
{
    // The code as the box has always given it, then what it means.
    const QString words = EngineFailureWords(code);
    Prompts::MsgBox(text + QString::number(code) + (words.isEmpty() ? QString() : QStringLiteral("\r\n") + words),
                    MsgButtons::Ok, MsgIcon::Critical, title);
}

int16_t FailureCode(int32_t result)
{
    // A failing answer that is not negative counts as the engine's general refusal.
    if (result >= 0)
        return -1;
    return int16_t(std::max<int32_t>(result, std::numeric_limits<int16_t>::min()));
}
