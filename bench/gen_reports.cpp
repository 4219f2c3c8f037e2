// bench_gen_reports PROGRAM_FOLDER N
//
// Creates data.db in PROGRAM_FOLDER from the shipped schema when it is missing
// (or adds to an existing one) and fills it with N realistic reports: about
// 150 per report date, going back over the years from today (or from the day
// before the oldest report already there), with patients,
// sections, requesting physicians, doctors, findings, diagnoses and small JPEG
// pictures in some of the four picture fields. The section, doctor, user and
// bodypart tables get the rows the reports refer to.
#include "common.h"

#include "core/Database.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>

#include <turbojpeg.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using bench::die;

// ---------------------------------------------------------------------------
// Random choices

class Rng {
public:
    explicit Rng(std::uint64_t seed) : g_(seed) {}
    int below(int n) { return int(g_() % std::uint64_t(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }   // inclusive
    bool chance(double p) { return double(g_() >> 11) * (1.0 / 9007199254740992.0) < p; }
    template <class T>
    const T& pick(const std::vector<T>& v)
    {
        return v[size_t(below(int(v.size())))];
    }
    std::string digits(int n)
    {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += char('0' + below(10));
        return s;
    }

private:
    std::mt19937_64 g_;
};

// ---------------------------------------------------------------------------
// Names

const std::vector<std::string> kSurnames = {
    "王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱", "胡", "郭",   "何",
    "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹", "彭", "曾", "肖",   "田",
    "董", "袁", "潘", "于", "蒋", "蔡", "余", "杜", "叶", "程", "苏", "魏", "吕", "丁", "任", "沈",   "姚",
    "卢", "姜", "崔", "钟", "谭", "陆", "汪", "范", "金", "石", "廖", "贾", "夏", "韦", "付", "方",   "白",
    "邹", "孟", "熊", "秦", "邱", "江", "尹", "薛", "闫", "段", "雷", "侯", "龙", "史", "陶", "黎",   "贺",
    "顾", "毛", "郝", "龚", "邵", "万", "钱", "严", "覃", "武", "戴", "莫", "孔", "向", "汤", "欧阳", "司马"};

const std::vector<std::string> kMaleChars = {
    "伟", "强", "磊", "军", "洋", "勇", "杰", "涛", "明", "超", "刚", "平", "辉", "鹏", "华", "飞", "鑫",
    "波", "斌", "宇", "浩", "凯", "健", "俊", "帆", "帅", "旭", "宁", "龙", "林", "欢", "阳", "建", "国",
    "志", "文", "海", "峰", "成", "东", "亮", "春", "德", "福", "生", "荣", "庆", "永", "富", "贵", "忠"};

const std::vector<std::string> kFemaleChars = {"芳", "娜", "敏", "静", "丽", "艳", "娟", "霞", "秀", "英", "玲",
                                               "桂", "兰", "燕", "萍", "红", "梅", "琳", "雪", "婷", "倩", "颖",
                                               "慧", "洁", "琴", "云", "莉", "凤", "丹", "佳", "欣", "悦", "蕾",
                                               "璐", "晶", "月", "美", "玉", "珍", "华", "春", "素"};

std::string personName(Rng& r, bool male)
{
    const auto& chars = male ? kMaleChars : kFemaleChars;
    std::string n = r.pick(kSurnames) + r.pick(chars);
    if (r.chance(0.7))
        n += r.pick(chars);
    return n;
}

// ---------------------------------------------------------------------------
// Dictionaries the reports refer to

const std::vector<std::string> kSections = {"内科",     "外科",       "骨科",     "儿科",     "妇产科",   "急诊科",
                                            "呼吸内科", "心血管内科", "神经内科", "消化内科", "泌尿外科", "肝胆外科",
                                            "体检中心", "耳鼻喉科",   "肿瘤科",   "康复科"};

struct Physician {
    std::string id, name, sectionId;
    int section;
};

struct User {
    std::string id, name;
};

struct Dictionaries {
    std::vector<std::vector<int>> physiciansOf;   // per section, indexes into physicians
    std::vector<Physician> physicians;
    std::vector<User> radiologists;
};

std::string code(int n, int width)
{
    std::string s = std::to_string(n);
    return std::string(size_t(std::max(0, width - int(s.size()))), '0') + s;
}

// The same dictionaries on every run, so a second fill refers to the same people.
Dictionaries makeDictionaries()
{
    Rng r(20240611);
    Dictionaries d;
    d.physiciansOf.resize(kSections.size());
    int id = 1;
    for (size_t s = 0; s < kSections.size(); ++s) {
        const int count = r.between(3, 6);
        for (int i = 0; i < count; ++i) {
            d.physiciansOf[s].push_back(int(d.physicians.size()));
            d.physicians.push_back({code(id++, 4), personName(r, r.chance(0.6)), code(int(s) + 1, 3), int(s)});
        }
    }
    for (int i = 1; i <= 8; ++i)
        d.radiologists.push_back({"ys" + code(i, 2), personName(r, r.chance(0.5))});
    return d;
}

// ---------------------------------------------------------------------------
// Body parts, examinations and report texts

struct Finding {
    const char* text;
    const char* conclusion;
};

struct BodyPart {
    const char* name;
    std::vector<const char*> examNames;
    double fee;
    std::vector<const char*> normal;   // sentences of a normal finding, in reading order
    const char* normalConclusion;
    std::vector<Finding> abnormal;
};

const std::vector<BodyPart> kParts = {
    {"胸部",
     {"胸部正位", "胸部正侧位", "胸部DR"},
     60,
     {"胸廓对称，气管居中。", "双肺纹理清晰，走行自然，肺野透亮度正常，未见明显实质性病变。",
      "双肺门影不大，结构清晰。", "心影大小、形态未见异常，主动脉结不宽。", "双侧膈面光整，肋膈角锐利。",
      "所见骨质未见明显异常。"},
     "心肺膈未见明显异常。",
     {{"右下肺野见斑片状模糊影，边缘不清，密度不均匀，其内似见支气管充气征。", "右下肺炎症，建议抗炎治疗后复查。"},
      {"双肺纹理增多、增粗、紊乱，以双中下肺野为著，未见明确实变影。", "支气管炎改变，请结合临床。"},
      {"左肺上叶尖后段见条索状及小结节状高密度影，边界清楚，部分可见钙化。", "左上肺陈旧性病灶。"},
      {"心影向左下扩大，心胸比约0.56，主动脉结突出，可见弧形钙化影。", "心影增大，主动脉硬化。"},
      {"右侧肋膈角变钝，可见外高内低弧形致密影。", "右侧少量胸腔积液。"},
      {"右侧第5、6肋骨腋段骨皮质连续性中断，断端对位尚可。", "右侧第5、6肋骨骨折。"}}},
    {"腰椎",
     {"腰椎正侧位", "腰椎双斜位"},
     90,
     {"腰椎生理曲度存在，序列整齐。", "各椎体形态、大小及骨质密度未见异常，未见骨质破坏。",
      "各椎间隙未见变窄，椎小关节清晰。", "附件结构未见异常，椎旁软组织未见异常。"},
     "腰椎未见明显异常。",
     {{"腰椎生理曲度变直，L3-L5椎体边缘骨质增生，呈唇样改变。", "腰椎退行性变。"},
      {"L4/5椎间隙变窄，相应椎体边缘硬化。", "L4/5椎间盘病变可能，必要时CT或MR检查。"},
      {"L1椎体呈楔形改变，前缘高度约为后缘的2/3，骨小梁紊乱。", "L1椎体压缩性骨折，请结合临床。"},
      {"L5椎弓峡部可见透亮裂隙，L5椎体向前轻度滑移。", "L5椎弓峡部裂并I度滑脱。"}}},
    {"颈椎",
     {"颈椎正侧位", "颈椎双斜位", "颈椎张口位"},
     90,
     {"颈椎生理曲度存在，序列整齐。", "各椎体形态、大小未见异常，骨质结构完整。", "各椎间隙未见变窄，椎间孔未见变小。",
      "项韧带未见钙化，椎前软组织未见增厚。"},
     "颈椎未见明显异常。",
     {{"颈椎生理曲度变直，C4-C6椎体前后缘骨质增生，C5/6椎间隙变窄，相应椎间孔变小。", "颈椎病。"},
      {"项韧带见条状钙化影。", "项韧带钙化。"},
      {"颈椎生理曲度反弓，以C4水平为著。", "颈椎生理曲度反弓，请结合临床。"}}},
    {"膝关节",
     {"膝关节正侧位", "双膝关节正侧位"},
     70,
     {"膝关节诸骨骨质结构完整，骨小梁清晰。", "关节面光整，关节间隙正常。", "髌骨位置正常。", "周围软组织未见异常。"},
     "膝关节未见明显异常。",
     {{"胫骨平台及股骨内外髁边缘骨质增生，髁间隆起变尖，内侧关节间隙变窄。", "膝关节退行性骨关节病。"},
      {"髌骨上下缘骨质增生，髌上囊区软组织密度增高。", "髌骨骨质增生，髌上囊积液可能。"},
      {"胫骨平台外侧骨皮质连续性中断，可见透亮骨折线。", "胫骨平台骨折。"}}},
    {"腹部",
     {"腹部立位", "腹部平片", "泌尿系平片"},
     70,
     {"膈下未见游离气体。", "肠管未见明显扩张，未见气液平面。",
      "双肾轮廓显示欠清，双肾区、输尿管走行区及膀胱区未见明显阳性结石影。", "腰大肌影清晰。"},
     "腹部平片未见明显异常。",
     {{"中腹部可见数个阶梯状气液平面，小肠肠管扩张积气。", "肠梗阻，请结合临床。"},
      {"右肾区见一约0.6cm×0.8cm高密度影，边缘清晰。", "右肾结石。"},
      {"双侧膈下见新月形游离气体影。", "膈下游离气体，考虑消化道穿孔，请结合临床。"},
      {"左侧输尿管走行区L3水平见一米粒大小高密度影。", "左侧输尿管结石。"}}},
    {"踝关节",
     {"踝关节正侧位"},
     70,
     {"踝关节诸骨骨质结构完整。", "关节面光整，关节间隙正常，踝穴对称。", "周围软组织未见肿胀。"},
     "踝关节未见明显异常。",
     {{"外踝骨皮质连续性中断，可见斜行透亮骨折线，断端对位尚可，周围软组织肿胀。", "外踝骨折。"},
      {"内、外踝尖端骨质增生，关节间隙稍窄。", "踝关节退行性变。"}}},
    {"腕关节",
     {"腕关节正侧位", "腕关节正斜位"},
     70,
     {"腕关节诸骨骨质结构完整，排列正常。", "关节面光整，关节间隙正常。", "周围软组织未见异常。"},
     "腕关节未见明显异常。",
     {{"桡骨远端骨皮质连续性中断，可见透亮骨折线，远折端向背侧移位，周围软组织肿胀。", "桡骨远端骨折（Colles骨折）。"},
      {"舟骨腰部可见透亮线影。", "舟骨骨折可能，建议两周后复查或CT检查。"}}},
    {"肩关节",
     {"肩关节正位", "肩关节穿胸位"},
     70,
     {"肩关节诸骨骨质结构完整。", "肱骨头与关节盂对应关系正常，关节间隙正常。",
      "肩峰下间隙未见变窄，周围软组织未见钙化。"},
     "肩关节未见明显异常。",
     {{"肱骨大结节旁软组织内见斑点状钙化影。", "冈上肌腱钙化性肌腱炎可能。"},
      {"肱骨头脱出关节盂，位于喙突下方。", "肩关节前脱位。"}}},
    {"骨盆",
     {"骨盆正位", "双髋关节正位"},
     80,
     {"骨盆诸骨骨质结构完整，两侧对称。", "双侧髋关节间隙正常，股骨头形态、密度未见异常。",
      "双侧骶髂关节及耻骨联合未见异常。"},
     "骨盆未见明显异常。",
     {{"左侧股骨颈骨皮质连续性中断，可见透亮骨折线，断端嵌插，股骨颈缩短。", "左侧股骨颈骨折。"},
      {"右侧股骨头变扁，其内见囊状透亮区及硬化带，关节间隙尚存。", "右侧股骨头缺血性坏死。"},
      {"双侧髋臼缘骨质增生，关节间隙变窄。", "双髋关节退行性变。"}}},
    {"头颅",
     {"头颅正侧位", "鼻窦瓦氏位"},
     60,
     {"头颅大小、形态未见异常。", "颅骨骨质结构完整，未见骨质破坏及骨折线。", "颅缝未见增宽，蝶鞍大小、形态正常。"},
     "头颅平片未见明显异常。",
     {{"双侧上颌窦透亮度减低，窦壁黏膜增厚。", "双侧上颌窦炎。"},
      {"右侧顶骨见一线状透亮影，边缘锐利，无硬化边。", "右侧顶骨线形骨折，建议CT检查。"}}},
    {"手",
     {"手正斜位", "双手正位"},
     60,
     {"手诸骨骨质结构完整，排列正常。", "各关节间隙正常，关节面光整。", "周围软组织未见异常。"},
     "手部未见明显异常。",
     {{"第5掌骨颈骨皮质连续性中断，远折端向掌侧成角。", "第5掌骨颈骨折。"},
      {"双手近端指间关节间隙变窄，关节周围骨质疏松。", "类风湿关节炎可能，请结合实验室检查。"}}},
    {"足",
     {"足正斜位", "跟骨侧轴位"},
     60,
     {"足诸骨骨质结构完整，排列正常。", "各关节间隙正常。", "周围软组织未见异常。"},
     "足部未见明显异常。",
     {{"跟骨结节后下缘骨质增生，呈骨刺样突起。", "跟骨骨刺。"}, {"第1跖趾关节外翻，拇趾外翻角约28°。", "拇外翻。"}}},
    {"肘关节",
     {"肘关节正侧位"},
     70,
     {"肘关节诸骨骨质结构完整。", "关节面光整，关节间隙正常。", "脂肪垫未见移位，周围软组织未见异常。"},
     "肘关节未见明显异常。",
     {{"肱骨髁上骨皮质连续性中断，远折端向后移位，前后脂肪垫征阳性。", "肱骨髁上骨折。"}}},
    {"胸椎",
     {"胸椎正侧位"},
     90,
     {"胸椎生理曲度存在，序列整齐。", "各椎体形态、大小及骨质密度未见异常。", "椎间隙未见变窄，椎旁软组织未见异常。"},
     "胸椎未见明显异常。",
     {{"胸椎侧弯，以T8为中心凸向右侧，Cobb角约15°。", "胸椎侧弯。"},
      {"T12椎体呈楔形变，前缘高度减低。", "T12椎体压缩性骨折。"}}}};

const std::vector<const char*> kAdvice = {"请结合临床。", "建议随访复查。", "必要时进一步检查。"};

struct Texts {
    std::string parts, examName, findings, conclusion, result;
    double fee = 0;
};

Texts reportTexts(Rng& r)
{
    Texts t;
    // Most examinations cover one part; some two (the editor joins them with ",").
    std::vector<const BodyPart*> parts{&kParts[size_t(r.below(int(kParts.size())))]};
    if (r.chance(0.06)) {
        const BodyPart* second = &r.pick(kParts);
        if (second != parts[0])
            parts.push_back(second);
    }
    // The chest is by far the most frequent examination.
    if (parts.size() == 1 && r.chance(0.35))
        parts[0] = &kParts[0];

    bool anyAbnormal = false;
    std::vector<std::string> conclusions;
    for (size_t p = 0; p < parts.size(); ++p) {
        const BodyPart& bp = *parts[p];
        if (p) {
            t.parts += ",";
            t.examName += ",";
            t.findings += "\n";
        }
        t.parts += bp.name;
        t.examName += r.pick(bp.examNames);
        t.fee += bp.fee;

        const bool abnormal = r.chance(0.45);
        std::vector<std::string> sentences(bp.normal.begin(), bp.normal.end());
        if (abnormal) {
            anyAbnormal = true;
            const Finding& f = r.pick(bp.abnormal);
            // The abnormal finding takes the place of one of the normal sentences after the first.
            sentences.erase(sentences.begin() + 1 + r.below(int(sentences.size()) - 1));
            sentences.insert(sentences.begin() + 1, f.text);
            conclusions.push_back(f.conclusion);
        } else {
            conclusions.push_back(bp.normalConclusion);
        }
        const bool linePerSentence = r.chance(0.3);
        for (size_t i = 0; i < sentences.size(); ++i) {
            if (i && linePerSentence)
                t.findings += "\n";
            t.findings += sentences[i];
        }
    }
    if (conclusions.size() == 1) {
        t.conclusion = conclusions[0];
    } else {
        for (size_t i = 0; i < conclusions.size(); ++i) {
            if (i)
                t.conclusion += "\n";
            t.conclusion += std::to_string(i + 1) + "、" + conclusions[i];
        }
    }
    if (anyAbnormal && r.chance(0.3))
        t.conclusion += r.pick(kAdvice);
    if (r.chance(0.8))
        t.result = anyAbnormal ? "阳性" : "阴性";
    return t;
}

// ---------------------------------------------------------------------------
// Pictures: a few small grey JPEGs that look a little like radiographs.

std::vector<std::string> makePictures()
{
    std::vector<std::string> pictures;
    tjhandle tj = tjInitCompress();
    if (!tj)
        die("libturbojpeg does not start");
    Rng r(7);
    const int w = 192, h = 160;
    for (int k = 0; k < 4; ++k) {
        std::vector<unsigned char> px(size_t(w * h));
        const double cx = w / 2.0 + r.between(-8, 8), cy = h / 2.0 + r.between(-6, 6);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const double dx = (x - cx) / (w * 0.42), dy = (y - cy) / (h * 0.46);
                double v = 20;   // air
                if (dx * dx + dy * dy < 1)
                    v = 140;                 // soft tissue
                for (int side : {-1, 1}) {   // two darker fields
                    const double lx = (x - cx - side * w * 0.18) / (w * 0.14), ly = (y - cy) / (h * 0.33);
                    if (lx * lx + ly * ly < 1)
                        v = 70 + 40 * (0.5 + 0.5 * std::sin(y * 0.35 + side * x * 0.05 + k));   // ribs
                }
                if (std::abs(x - cx) < w * 0.035)
                    v = 210;               // spine
                v += r.between(-10, 10);   // film grain
                px[size_t(y * w + x)] = static_cast<unsigned char>(std::clamp(v, 0.0, 255.0));
            }
        }
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        if (tjCompress2(tj, px.data(), w, 0, h, TJPF_GRAY, &jpeg, &size, TJSAMP_GRAY, 60, 0) != 0)
            die("JPEG compression failed", QString::fromUtf8(tjGetErrorStr2(tj)));
        pictures.emplace_back(reinterpret_cast<const char*>(jpeg), size_t(size));
        tjFree(jpeg);
    }
    tjDestroy(tj);
    return pictures;
}

// ---------------------------------------------------------------------------

// How many reports each report date gets, from the newest day backwards, so that
// the counts add up to n; returned oldest first.
std::vector<std::pair<QDate, int>> reportDays(Rng& r, qint64 n, QDate newest)
{
    std::vector<std::pair<QDate, int>> days;
    qint64 left = n;
    for (QDate d = newest; left > 0; d = d.addDays(-1)) {
        int count = r.between(110, 190);
        if (d.dayOfWeek() == 7)
            count /= 2;   // Sundays are quieter, Mondays busier
        else if (d.dayOfWeek() == 1)
            count += count / 3;
        count = int(std::min<qint64>(count, left));
        days.emplace_back(d, count);
        left -= count;
    }
    std::reverse(days.begin(), days.end());
    return days;
}

struct Patient {
    std::string name, sex, ageUnit, examNumber;
    int age = 0;
};

void fillDictionaries(sqlite3* db, const Dictionaries& d)
{
    sqlite3_stmt* st = nullptr;
    auto prepare = [&](const char* sql) {
        sqlite3_finalize(st);
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
            die(sql, QString::fromUtf8(sqlite3_errmsg(db)));
    };
    auto text = [&](int i, const std::string& s) { sqlite3_bind_text(st, i, s.data(), int(s.size()), SQLITE_STATIC); };
    auto step = [&] {
        if (sqlite3_step(st) != SQLITE_DONE)
            die("dictionary insert failed", QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_reset(st);
    };

    prepare("INSERT OR IGNORE INTO section (ksid, ksname) VALUES (?, ?)");
    for (size_t s = 0; s < kSections.size(); ++s) {
        const std::string id = code(int(s) + 1, 3);
        text(1, id);
        text(2, kSections[s]);
        step();
    }
    prepare("INSERT OR IGNORE INTO doctor (dcid, dcname, ksid) VALUES (?, ?, ?)");
    for (const Physician& p : d.physicians) {
        text(1, p.id);
        text(2, p.name);
        text(3, p.sectionId);
        step();
    }
    // Radiologists: view, write, video, query; the first two also review others' reports.
    prepare("INSERT OR IGNORE INTO user (userid, username, userpassword, qx1, qx2, qx3, qx4, qx5, qx6, qx7, qx8)"
            " VALUES (?, ?, NULL, 1, 1, ?, 1, 0, 1, 1, 0)");
    for (size_t i = 0; i < d.radiologists.size(); ++i) {
        text(1, d.radiologists[i].id);
        text(2, d.radiologists[i].name);
        sqlite3_bind_int(st, 3, i < 2 ? 1 : 0);
        step();
    }
    prepare("INSERT INTO bodypart (partname) SELECT ? WHERE NOT EXISTS (SELECT 1 FROM bodypart WHERE partname = ?)");
    for (const BodyPart& bp : kParts) {
        sqlite3_bind_text(st, 1, bp.name, -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 2, bp.name, -1, SQLITE_STATIC);
        step();
    }
    sqlite3_finalize(st);
}

const char* const kInsert =
    "INSERT INTO reports (brname, sex, age, ageunit, bedid, sectionoffice, utpatientid, inpatientid, pgdate, rpdate,"
    " pgdr, rpdr, facility, times, part, checktechnique, checkname, checksymptom, checkconclusion,"
    " obligate1, obligate2, obligate3, obligate4, obligate5, picture1, picture2, picture3, picture4)"
    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    bool countOk = false;
    const qint64 n = args.size() == 2 ? args[1].toLongLong(&countOk) : 0;
    if (args.size() != 2 || !countOk || n < 1) {
        std::fprintf(stderr, "usage: bench_gen_reports PROGRAM_FOLDER N\n"
                             "  creates PROGRAM_FOLDER/data.db when missing and adds N reports to it\n");
        return 2;
    }
    const QString folder = QDir(args[0]).absolutePath();
    if (!QDir().mkpath(folder))
        die("cannot create the folder", folder);
    const QString path = folder + QStringLiteral("/data.db");

    const auto start = bench::Clock::now();
    if (!QFileInfo::exists(path)) {
        const QString why = Database::CreateDatabaseFile(path, Database::ShippedSchema());
        if (!why.isEmpty()) {
            QFile::remove(path);
            die("cannot create the database", why);
        }
        std::printf("created %s\n", qPrintable(path));
    } else {
        QString why;
        if (!Database::IsOurDatabase(path, &why))
            die("not a database of this program", why);
    }

    sqlite3* db = bench::openKeyed(path);
    // The journal only matters if the generator is interrupted; a half-filled benchmark
    // database is simply made again. These settings last for this connection only.
    bench::exec(db, "PRAGMA journal_mode = MEMORY;");
    bench::exec(db, "PRAGMA synchronous = OFF;");
    bench::exec(db, "PRAGMA cache_size = -262144;");   // 256 MiB

    // Reports already there keep their dates; the new ones go before the oldest,
    // so that every report date keeps about 150 reports.
    qint64 existing = 0;
    QDate newest = QDate::currentDate();
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*), min(rpdate) FROM reports", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW) {
            existing = sqlite3_column_int64(st, 0);
            const QDate oldest =
                QDate::fromString(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1))),
                                  QStringLiteral("yyyy-MM-dd"));
            if (existing > 0 && oldest.isValid())
                newest = std::min(newest, oldest.addDays(-1));
        }
        sqlite3_finalize(st);
    }

    const Dictionaries dict = makeDictionaries();
    bench::exec(db, "BEGIN;");
    fillDictionaries(db, dict);
    bench::exec(db, "COMMIT;");

    const std::vector<std::string> pictures = makePictures();
    Rng r(0x5eed0000ULL + std::uint64_t(existing));
    const auto days = reportDays(r, n, newest);
    // The workstation's equipment changed once over the years.
    const QDate newEquipment = QDate::currentDate().addYears(-4);

    sqlite3_stmt* ins = nullptr;
    if (sqlite3_prepare_v2(db, kInsert, -1, &ins, nullptr) != SQLITE_OK)
        die("cannot prepare the insert", QString::fromUtf8(sqlite3_errmsg(db)));

    std::vector<Patient> seen;   // earlier patients, some of whom come back
    seen.reserve(4096);
    int examYear = 0, examSeq = 0;
    qint64 done = 0, pictureCount = 0;
    constexpr qint64 kRowsPerTransaction = 50000;
    bench::exec(db, "BEGIN;");

    for (const auto& [day, count] : days) {
        const std::string rpdate = day.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
        const std::string pgdate0 = rpdate;
        const std::string pgdate1 = day.addDays(-1).toString(QStringLiteral("yyyy-MM-dd")).toStdString();
        const std::string pgdate2 = day.addDays(-2).toString(QStringLiteral("yyyy-MM-dd")).toStdString();
        const std::string facility = day < newEquipment ? "CR计算机X线摄影系统" : "DR数字X线摄影系统";
        if (day.year() != examYear) {
            examYear = day.year();
            examSeq = 0;
        }
        for (int i = 0; i < count; ++i) {
            Patient p;
            const bool returning = !seen.empty() && r.chance(0.08);
            if (returning) {
                p = seen[size_t(r.below(int(seen.size())))];
                if (!r.chance(0.5))
                    p.examNumber.clear();
            } else {
                const bool male = r.chance(0.52);
                p.sex = male ? "男" : "女";
                p.name = personName(r, male);
                const int kind = r.below(100);
                if (kind < 2) {
                    p.age = r.between(1, 28);
                    p.ageUnit = "天";
                } else if (kind < 5) {
                    p.age = r.between(1, 11);
                    p.ageUnit = "月";
                } else if (kind < 15) {
                    p.age = r.between(1, 17);
                    p.ageUnit = "岁";
                } else {
                    p.age = r.between(18, 92);
                    p.ageUnit = "岁";
                }
            }
            if (p.examNumber.empty())
                p.examNumber = std::to_string(examYear) + code(++examSeq, 6);
            if (!returning) {
                if (seen.size() < 4096)
                    seen.push_back(p);
                else
                    seen[size_t(r.below(4096))] = p;
            }

            const int section = r.below(int(kSections.size()));
            const Physician& physician = dict.physicians[size_t(r.pick(dict.physiciansOf[size_t(section)]))];
            const User& reporter = r.pick(dict.radiologists);
            const User* reviewer = r.chance(0.6) ? &dict.radiologists[size_t(r.below(2))] : nullptr;
            const bool inPatient = r.chance(0.35);
            const std::string contact = r.chance(0.7) ? "1" + std::string(1, "35789"[r.below(5)]) + r.digits(9) : "";
            const std::string inpatientNo = inPatient ? std::to_string(examYear) + r.digits(5) : "";
            const std::string bed = inPatient ? std::to_string(r.between(1, 60)) : "";
            const std::string outpatientNo = inPatient ? "" : "MZ" + std::to_string(examYear) + r.digits(6);
            const std::string allergy = r.chance(0.03) ? "阴性" : "";
            const int lag = r.below(100);
            const std::string& pgdate = lag < 85 ? pgdate0 : lag < 97 ? pgdate1 : pgdate2;
            Texts t = reportTexts(r);
            const int examCount = r.chance(0.9) ? 1 : 2;
            const double fee = t.fee * examCount;

            auto text = [&](int idx, const std::string& s) {
                if (s.empty())
                    sqlite3_bind_null(ins, idx);
                else
                    sqlite3_bind_text(ins, idx, s.data(), int(s.size()), SQLITE_STATIC);
            };
            text(1, p.name);
            text(2, p.sex);
            sqlite3_bind_int(ins, 3, p.age);
            text(4, p.ageUnit);
            text(5, contact);
            text(6, kSections[size_t(section)]);
            text(7, physician.name);
            text(8, inpatientNo);
            text(9, pgdate);
            text(10, rpdate);
            text(11, reviewer ? reviewer->name : std::string());
            text(12, reporter.name);
            sqlite3_bind_text(ins, 13, facility.data(), int(facility.size()), SQLITE_STATIC);
            sqlite3_bind_double(ins, 14, fee);
            text(15, t.parts);
            text(16, t.result);
            text(17, t.examName);
            text(18, t.findings);
            text(19, t.conclusion);
            sqlite3_bind_int(ins, 20, examCount);
            text(21, bed);
            text(22, outpatientNo);
            text(23, allergy);
            text(24, p.examNumber);
            // Pictures fill the slots from the first: none, 1, 2, 3 or 4 of them.
            const int roll = r.below(100);
            const int filled = roll < 25 ? 0 : roll < 70 ? 1 : roll < 90 ? 2 : roll < 97 ? 3 : 4;
            for (int s = 0; s < 4; ++s) {
                if (s < filled) {
                    const std::string& pic = pictures[size_t((s + r.below(4)) % 4)];
                    sqlite3_bind_blob(ins, 25 + s, pic.data(), int(pic.size()), SQLITE_STATIC);
                    ++pictureCount;
                } else {
                    sqlite3_bind_null(ins, 25 + s);
                }
            }
            if (sqlite3_step(ins) != SQLITE_DONE)
                die("insert failed", QString::fromUtf8(sqlite3_errmsg(db)));
            sqlite3_reset(ins);

            if (++done % kRowsPerTransaction == 0) {
                bench::exec(db, "COMMIT;");
                bench::exec(db, "BEGIN;");
                if (done % 100000 == 0)
                    std::printf("  %lld reports, %.1f s\n", static_cast<long long>(done), bench::secondsSince(start));
                std::fflush(stdout);
            }
        }
    }
    bench::exec(db, "COMMIT;");
    sqlite3_finalize(ins);
    if (sqlite3_close(db) != SQLITE_OK)
        die("closing the database failed");

    const double seconds = bench::secondsSince(start);
    size_t pictureBytes = 0;
    for (const auto& p : pictures)
        pictureBytes += p.size();
    std::printf("added %lld reports (%lld already there) over %lld report dates, %s .. %s\n",
                static_cast<long long>(done), static_cast<long long>(existing), static_cast<long long>(days.size()),
                qPrintable(days.front().first.toString(QStringLiteral("yyyy-MM-dd"))),
                qPrintable(days.back().first.toString(QStringLiteral("yyyy-MM-dd"))));
    std::printf("%lld pictures (JPEGs of about %zu bytes)\n", static_cast<long long>(pictureCount),
                pictureBytes / pictures.size());
    std::printf("database %s: %.1f MB\n", qPrintable(path), double(QFileInfo(path).size()) / 1e6);
    std::printf("time taken: %.1f s (%.0f reports/s)\n", seconds, double(done) / seconds);
    return 0;
}
