#include "app/combine.h"

#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "app/batch.h"
#include "app/report_file.h"
#include "headers/header_lines.h"
#include "io/fatal.h"
#include "io/file_io.h"
#include "study/study_compute.h"

namespace tallycnv {

namespace {

struct source_file {
    std::string path;
    std::size_t order = 0; // place on the command line
    std::unique_ptr<byte_stream> input;
    k479_defn header{};
    std::int64_t start = 0;
    std::int64_t stop = 0;
    bool open_ended = false; // the header gives no usable stop
    const station_row* station = nullptr;
};

// A source whose header gives no usable stop covers up to the next source of
// its site, and at most this long (ten years of seconds).
constexpr std::int64_t open_end = 3660LL * 86400;

// The sources of one site, in time order.
struct site_sources {
    std::string key;  // the station, or the header's site text
    std::string name; // the station's name, or the site text
    const station_row* station = nullptr;
    std::vector<source_file*> files;
};

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string base_name(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

const station_row* station_of(const std::vector<station_row>& stations, const std::string& site,
                              const std::string& path) {
    for (const station_row& s : stations) {
        if (!s.site.empty() ? s.site == site
                            : fnmatch(s.file.c_str(), path.c_str(), 0) == 0 ||
                                  fnmatch(s.file.c_str(), base_name(path).c_str(), 0) == 0) {
            return &s;
        }
    }
    return nullptr;
}

namespace {

// Reads every source's header; the recording runs from its start to its stop
// (a source without a usable stop: to the end of time, cut by the next one).
std::vector<std::unique_ptr<source_file>> open_sources(const run_settings& settings) {
    std::vector<std::unique_ptr<source_file>> files;
    for (const std::string& path : settings.batch.sources) {
        auto f = std::make_unique<source_file>();
        f->path = path;
        f->order = files.size();
        std::optional<byte_stream> input = byte_stream::open(path);
        if (!input) {
            fail(1, "\nError : File " + path + " does not exist\n");
        }
        f->input = std::make_unique<byte_stream>(std::move(*input));
        read_header_block(*f->input, f->header);
        if (f->header.type != 'V' && f->header.type != 'm') {
            fail(2, "\nError : Invalid or corrupt input file " + path + "\n");
        }
        const start_rec_t& a = f->header.start_rec;
        const stop_rec_t& b = f->header.stop_rec;
        const std::optional<std::int64_t> start =
            seconds_of(instant_of(a.rec_start_year, a.rec_start_month, a.rec_start_day, a.rec_start_hour,
                                  a.rec_start_minute, a.rec_start_second));
        const std::optional<std::int64_t> stop =
            seconds_of(instant_of(b.rec_stop_year, b.rec_stop_month, b.rec_stop_day, b.rec_stop_hour,
                                  b.rec_stop_minute, b.rec_stop_second));
        if (!start) {
            fail(2,
                 "\nError : " + path + " has no valid start time: its place in the site's year is unknown\n");
        }
        f->start = *start;
        f->open_ended = !stop || *stop <= *start;
        f->stop = f->open_ended ? *start + open_end : *stop;
        f->station = station_of(settings.year.stations, trimmed(field_text(f->header.site)), path);
        files.push_back(std::move(f));
    }
    return files;
}

std::vector<site_sources> group_sites(const std::vector<std::unique_ptr<source_file>>& files) {
    std::map<std::string, site_sources> by_key;
    std::vector<std::string> order;
    for (const auto& f : files) {
        const std::string site = trimmed(field_text(f->header.site));
        const std::string key = f->station != nullptr ? f->station->station : site;
        auto [at, fresh] = by_key.try_emplace(key);
        if (fresh) {
            at->second.key = key;
            at->second.name = f->station != nullptr && !f->station->name.empty() ? f->station->name : site;
            at->second.station = f->station;
            order.push_back(key);
        }
        at->second.files.push_back(f.get());
    }
    std::vector<site_sources> sites;
    for (const std::string& key : order) {
        site_sources& site = by_key[key];
        std::stable_sort(site.files.begin(), site.files.end(),
                         [](const source_file* a, const source_file* b) { return a->start < b->start; });
        for (std::size_t i = 0; i + 1 < site.files.size(); ++i) {
            source_file* f = site.files[i];
            const std::int64_t next = site.files[i + 1]->start;
            if (f->open_ended && next > f->start) {
                f->stop = std::min(f->stop, next);
            }
        }
        sites.push_back(std::move(site));
    }
    return sites;
}

// Splits the site's time at every source's start and stop; each piece is
// taken from the source covering it that covers more time in all (of equals,
// the later one). Two sources that share a piece give an overlap caution.
std::vector<study_source> take_spans(site_sources& site, study& s) {
    std::vector<study_source> sources;
    std::vector<std::int64_t> cuts;
    for (const source_file* f : site.files) {
        sources.push_back(study_source{f->input.get(), &f->header, {}});
        cuts.push_back(f->start);
        cuts.push_back(f->stop);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::map<std::pair<std::size_t, std::size_t>, std::pair<std::int64_t, std::int64_t>> shared;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        const std::int64_t from = cuts[i];
        const std::int64_t to = cuts[i + 1];
        std::optional<std::size_t> owner;
        for (std::size_t k = 0; k < site.files.size(); ++k) {
            const source_file* f = site.files[k];
            if (f->start > from || f->stop < to) {
                continue;
            }
            if (!owner) {
                owner = k;
                continue;
            }
            const source_file* o = site.files[*owner];
            if (f->stop - f->start >= o->stop - o->start) {
                owner = k;
            }
        }
        if (!owner) {
            continue; // a gap between sources: outside the recording
        }
        time_spans& taken = sources[*owner].taken;
        if (!taken.empty() && taken.back().second == from) {
            taken.back().second = to;
        } else {
            taken.emplace_back(from, to);
        }
        for (std::size_t k = 0; k < site.files.size(); ++k) {
            const source_file* f = site.files[k];
            if (k != *owner && f->start <= from && f->stop >= to) {
                auto [at, fresh] = shared.try_emplace({*owner, k}, from, to);
                if (!fresh) {
                    at->second.first = std::min(at->second.first, from);
                    at->second.second = std::max(at->second.second, to);
                }
            }
        }
    }
    for (const auto& [pair, span] : shared) {
        s.overlaps.push_back(study_overlap{site.files[pair.first]->path, site.files[pair.second]->path,
                                           instant_at(span.first), instant_at(span.second)});
    }
    for (const source_file* f : site.files) {
        s.sources.push_back(f->path);
    }
    return sources;
}

// The study of one site through `out`.
study site_study(const run_context& ctx, site_sources& site) {
    const bool vehicles = site.files.front()->header.type == 'V';
    for (const source_file* f : site.files) {
        if ((f->header.type == 'V') != vehicles) {
            fail(1, "\nError : Site " + site.key + " mixes vehicle and interval files\n");
        }
    }
    study s = make_study(ctx, site.files.front()->header);
    std::vector<study_source> sources = take_spans(site, s);
    if (vehicles) {
        compute_vehicle_sources(ctx, sources, s);
    } else {
        compute_interval_sources(ctx, sources, s);
    }
    fill_annual(s, ctx.settings);
    return s;
}

run_settings site_settings(const run_settings& settings, const site_sources& site) {
    run_settings own = settings;
    if (site.station != nullptr) {
        own.year.factor_group = site.station->factor_group;
    }
    std::memcpy(own.k479.site, site.files.front()->header.site, sizeof own.k479.site);
    return own;
}

// Writes the site's study to `path` whole (a temporary file renamed over it).
void write_site(const run_settings& settings, const language_texts& lang, site_sources& site,
                const std::string& path, temporary_files& temporaries, study* kept) {
    const run_settings own = site_settings(settings, site);
    report_file file(temporaries, path);
    {
        report_sink out([&file] { return file.create(); });
        const run_context ctx{own, lang, out};
        study s = site_study(ctx, site);
        out.open();
        write_study(ctx, s);
        if (!out.flush()) {
            fail(3, "\nError : Could not write to the output file\n");
        }
        if (kept != nullptr) {
            *kept = std::move(s);
        }
    }
    if (!file.commit()) {
        fail(3, "\nError : Could not write to the output file\n");
    }
}

std::string safe_name(const std::string& name) {
    std::string out;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        out += std::isalnum(b) != 0 || c == '-' || c == '_' || c == '.' ? c : '_';
    }
    return out.empty() || out[0] == '.' ? "site" + out : out;
}

// The index's figures of one site.
struct index_row {
    std::string station;
    std::string name;
    std::string page;
    std::string first_day;
    std::string last_day;
    int valid_days = 0;
    int excluded_days = 0;
    std::optional<double> adt;
    std::optional<double> aadt;
    std::optional<double> p85;
    std::optional<double> heavy_share;
    std::size_t flags = 0;
};

index_row index_of(const site_sources& site, const study& s, const std::string& page) {
    index_row r;
    r.station = site.key;
    r.name = utf8_from_latin1(site.name);
    r.page = page;
    char text[16];
    if (!s.daily.empty()) {
        const study_date& a = s.daily.front().date;
        const study_date& b = s.daily.back().date;
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", a.year, a.month, a.day);
        r.first_day = text;
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", b.year, b.month, b.day);
        r.last_day = text;
    }
    for (const study_day& d : s.daily) {
        r.valid_days += d.full_day && d.valid ? 1 : 0;
        r.excluded_days += d.full_day && !d.valid ? 1 : 0; // by a data-quality rule or by date
    }
    if (!s.groups.empty()) {
        r.adt = s.groups[0].volume.adt;
        r.p85 = s.groups[0].speed.percentiles[2].value;
    }
    for (const study_year& y : s.annual) {
        if (y.aadt) {
            r.aadt = y.aadt;
        }
        if (y.heavy_share) {
            r.heavy_share = y.heavy_share;
        }
    }
    r.flags = s.overlaps.size() + s.quality.flags.size();
    return r;
}

std::string number(std::optional<double> v, const char* none) {
    if (!v) {
        return none;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", *v);
    return text;
}

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (const char c : text) {
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return out + "\"";
}

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", b);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string html_text(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void write_index(const std::string& dir, const std::vector<index_row>& rows, temporary_files& temporaries) {
    std::string csv = "station,name,first_day,last_day,valid_days,excluded_days,adt,aadt,p85_speed,"
                      "heavy_share,flags\n";
    std::string json = "[\n";
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Sites</title>\n"
        "<style>body { font-family: sans-serif; font-size: 10pt; } th, td { padding: 1px 8px; "
        "text-align: right; border-bottom: 1px solid #dddddd; } th:first-child, td:first-child, "
        "td:nth-child(2) { text-align: left; } table { border-collapse: collapse; }</style>\n"
        "</head>\n<body>\n<h1>Sites</h1>\n<table>\n<thead><tr><th>Station</th><th>Name</th>"
        "<th>First day</th><th>Last day</th><th>Valid days</th><th>Excluded days</th><th>ADT</th>"
        "<th>AADT</th><th>p85 speed</th><th>Heavy share</th><th>Flags</th></tr></thead>\n<tbody>\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const index_row& r = rows[i];
        csv += csv_field(r.station) + "," + csv_field(r.name) + "," + r.first_day + "," + r.last_day + "," +
               std::to_string(r.valid_days) + "," + std::to_string(r.excluded_days) + "," +
               number(r.adt, "") + "," + number(r.aadt, "") + "," + number(r.p85, "") + "," +
               number(r.heavy_share, "") + "," + std::to_string(r.flags) + "\n";
        json += "  {\"station\": " + json_string(r.station) + ", \"name\": " + json_string(r.name) +
                ", \"page\": " + json_string(r.page) + ", \"first_day\": " + json_string(r.first_day) +
                ", \"last_day\": " + json_string(r.last_day) +
                ", \"valid_days\": " + std::to_string(r.valid_days) +
                ", \"excluded_days\": " + std::to_string(r.excluded_days) +
                ", \"adt\": " + number(r.adt, "null") + ", \"aadt\": " + number(r.aadt, "null") +
                ", \"p85_speed\": " + number(r.p85, "null") +
                ", \"heavy_share\": " + number(r.heavy_share, "null") +
                ", \"flags\": " + std::to_string(r.flags) + "}" + (i + 1 < rows.size() ? ",\n" : "\n");
        html += "<tr><td><a href=\"" + html_text(r.page) + "\">" + html_text(r.station) + "</a></td><td>" +
                html_text(r.name) + "</td><td>" + r.first_day + "</td><td>" + r.last_day + "</td><td>" +
                std::to_string(r.valid_days) + "</td><td>" + std::to_string(r.excluded_days) + "</td><td>" +
                number(r.adt, "-") + "</td><td>" + number(r.aadt, "-") + "</td><td>" + number(r.p85, "-") +
                "</td><td>" + number(r.heavy_share, "-") + "</td><td>" + std::to_string(r.flags) +
                "</td></tr>\n";
    }
    json += "]\n";
    html += "</tbody>\n</table>\n</body>\n</html>\n";
    for (const auto& [name, text] :
         {std::pair{"index.csv", &csv}, {"index.json", &json}, {"index.html", &html}}) {
        // Line ends as every report has them.
        std::string lines;
        for (const char c : *text) {
            lines += c == '\n' ? "\r\n" : std::string(1, c);
        }
        report_file file(temporaries, dir + "/" + name);
        const int fd = file.create();
        if (!write_all(fd, lines.data(), lines.size()) || !file.commit()) {
            fail(3, "\nError : Could not write to the output file\n");
        }
    }
}

} // namespace

int run_combined(const run_settings& settings, const language_texts& lang) {
    {
        std::vector<std::unique_ptr<source_file>> files = open_sources(settings);
        std::vector<site_sources> sites = group_sites(files);
        temporary_files temporaries;
        const std::string& dir = settings.batch.output_dir;
        if (dir.empty()) {
            if (sites.size() > 1) {
                std::string names;
                for (const site_sources& site : sites) {
                    names += (names.empty() ? "" : ", ") + site.key;
                }
                fail(1, "\nError : The sources are of more than one site (" + names +
                            "): name --output-dir for one study per site\n");
            }
            if (settings.year.output.empty()) {
                std::fflush(stdout);
                report_sink out(STDOUT_FILENO);
                const run_settings own = site_settings(settings, sites.front());
                const run_context ctx{own, lang, out};
                const study s = site_study(ctx, sites.front());
                write_study(ctx, s);
                if (!out.flush()) {
                    fail(3, "\nError : Could not write to the output file\n");
                }
            } else {
                write_site(settings, lang, sites.front(), settings.year.output, temporaries, nullptr);
            }
            return 0;
        }
        if (!make_folder(dir)) {
            fail(3, "\nError : Could not make the folder " + dir + "\n");
        }
        std::vector<index_row> rows;
        std::vector<std::string> taken_names;
        for (site_sources& site : sites) {
            // Two sites whose names differ only in case or in bytes a file name cannot hold get -2, -3, ...
            std::string stem = safe_name(site.key);
            const auto lower = [](std::string text) {
                for (char& c : text) {
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                }
                return text;
            };
            for (int n = 2;
                 std::find(taken_names.begin(), taken_names.end(), lower(stem)) != taken_names.end(); ++n) {
                stem = safe_name(site.key) + "-" + std::to_string(n);
            }
            taken_names.push_back(lower(stem));
            const std::string page = stem + report_extension(settings);
            study s;
            std::string path = dir;
            path += "/";
            path += page;
            write_site(settings, lang, site, path, temporaries, &s);
            rows.push_back(index_of(site, s, page));
        }
        write_index(dir, rows, temporaries);
        return 0;
    }
}

} // namespace tallycnv
