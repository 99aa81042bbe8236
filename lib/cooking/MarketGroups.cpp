#include "MarketGroups.h"

#include <vector>

namespace {
struct TGroupWords {
    TMarketGroup Group;
    const char16_t* Name;
    // Words separated by blanks; Latin ones match whole words, in any case.
    const char16_t* Words;
};

const TGroupWords Groups[] = {
    {TMarketGroup::Meat, u"肉禽蛋",
     u"肉 猪 牛 羊 鸡 鸭 鹅 鸽 蛋 排骨 五花 里脊 腩 蹄 肘 肚 腰花 猪肝 鸡翅 鸡腿 鸡胸 培根 火腿 "
     u"香肠 "
     u"腊肉 腊肠 午餐肉 肉末 肉馅 鹌鹑 "
     u"meat pork beef lamb mutton chicken duck turkey egg eggs yolk yolks bacon ham sausage "
     u"mince steak ribs"},
    {TMarketGroup::Seafood, u"水产",
     u"鱼 虾 蟹 贝 蛤 蚝 牡蛎 鱿 墨鱼 章鱼 海带 紫菜 海参 扇贝 蛏 螺 鲍 鳝 鳗 泥鳅 海蜇 裙带菜 "
     u"fish salmon tuna cod shrimp shrimps prawn prawns crab clam clams mussel mussels oyster "
     u"oysters squid scallop scallops anchovy anchovies seaweed"},
    {TMarketGroup::Vegetable, u"蔬菜",
     u"菜 葱 姜 蒜 椒 瓜 茄 番茄 西红柿 土豆 马铃薯 萝卜 豆芽 蘑菇 菇 笋 芹 韭 菠菜 藕 山药 洋葱 "
     u"香菜 芫荽 生菜 白菜 青菜 西兰花 花菜 菜花 玉米 豌豆 毛豆 四季豆 豆角 芋头 红薯 南瓜 冬瓜 "
     u"黄瓜 苦瓜 丝瓜 木耳 银耳 香椿 芦笋 秋葵 莴笋 甜椒 青椒 彩椒 柠檬 苹果 梨 橙 香蕉 葡萄 "
     u"onion onions garlic carrot carrots tomato tomatoes potato potatoes celery cabbage "
     u"lettuce spinach mushroom mushrooms scallion scallions leek leeks ginger zucchini "
     u"cucumber broccoli cauliflower corn peas beans kale lemon lemons lime limes apple apples "
     u"herbs parsley cilantro basil"},
    {TMarketGroup::Soy, u"豆制品",
     u"豆腐 豆干 香干 腐竹 千张 百叶 豆皮 油豆腐 豆泡 豆浆 腐乳 素鸡 "
     u"tofu tempeh"},
    {TMarketGroup::Seasoning, u"调料",
     u"盐 糖 冰糖 酱油 生抽 老抽 醋 料酒 黄酒 油 蚝油 豆瓣 豆瓣酱 酱 淀粉 生粉 花椒 八角 桂皮 香叶 "
     u"胡椒 味精 鸡精 芝麻 辣椒面 辣椒粉 干辣椒 辣椒油 五香粉 十三香 孜然 咖喱 鱼露 香油 麻油 "
     u"猪油 蜂蜜 面粉 小苏打 泡打粉 酵母 豆豉 番茄酱 白胡椒 黑胡椒 "
     u"salt sugar pepper oil vinegar sauce starch cornstarch flour honey mustard paprika cumin "
     u"cinnamon nutmeg vanilla yeast soda powder butter stock broth wine ketchup mayonnaise"},
};

struct TWord {
    QStringView Text;
    TMarketGroup Group;
    bool Latin;
};

bool IsAsciiLetter(QChar c);

// The words of every group, cut once.
const std::vector<TWord>& Words() {
    static const std::vector<TWord> words = [] {
        std::vector<TWord> out;
        for (const TGroupWords& g : Groups)
            for (QStringView word : QStringView(g.Words).tokenize(u' ', Qt::SkipEmptyParts))
                out.push_back({word, g.Group, IsAsciiLetter(word[0])});
        return out;
    }();
    return words;
}

struct TMatch {
    qsizetype Length = 0;
    qsizetype End = -1;
    TMarketGroup Group = TMarketGroup::Other;
};

bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
} // namespace

QString MarketGroupName(TMarketGroup group) {
    for (const TGroupWords& g : Groups)
        if (g.Group == group)
            return QString::fromUtf16(g.Name);
    return QStringLiteral("其他");
}

TMarketGroup MarketGroupOf(QStringView name) {
    TMatch best;
    bool latinName = false;
    for (QChar c : name)
        latinName = latinName || IsAsciiLetter(c);
    for (const TWord& w : Words()) {
        if (w.Latin && !latinName)
            continue;
        const QStringView word = w.Text;
        qsizetype from = 0;
        while (true) {
            const qsizetype at =
                name.indexOf(word, from, w.Latin ? Qt::CaseInsensitive : Qt::CaseSensitive);
            if (at < 0)
                break;
            from = at + 1;
            const qsizetype end = at + word.size();
            if (w.Latin && ((at > 0 && IsAsciiLetter(name[at - 1])) ||
                            (end < name.size() && IsAsciiLetter(name[end]))))
                continue;
            if (word.size() > best.Length || (word.size() == best.Length && end > best.End))
                best = {word.size(), end, w.Group};
        }
    }
    return best.Group;
}
