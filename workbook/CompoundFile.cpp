#include "workbook/CompoundFile.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <memory>
#include <mutex>
#include <strings.h>

#include "workbook/BiffRecords.h"

namespace virs {
namespace {

struct TObjectUnref {
    void operator()(void* object) const {
        if (object)
            g_object_unref(object);
    }
};
template <typename T> using TGsfPtr = std::unique_ptr<T, TObjectUnref>;

struct TErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};

constexpr std::size_t MaxStreamSize = 64u << 20; // far beyond any archive workbook

// The library registers its object types on first use, and two threads doing
// that at once (several lines read in parallel, each writing its workbooks)
// break the registration. Every use goes through here first, so the types are
// registered once, by whichever thread comes first, while the others wait.
void RegisterGsfTypes() {
    static std::once_flag Once;
    std::call_once(Once, [] {
        gsf_init();
        for (GType type : {GSF_OUTPUT_MEMORY_TYPE, GSF_OUTFILE_MSOLE_TYPE, GSF_INPUT_MEMORY_TYPE,
                           GSF_INFILE_MSOLE_TYPE})
            g_type_class_unref(g_type_class_ref(type));
    });
}

} // namespace

TWorkbookResult PackBookStream(std::string_view stream, std::string& file) {
    RegisterGsfTypes();
    TGsfPtr<GsfOutput> sink(gsf_output_memory_new());
    TGsfPtr<GsfOutfile> ole(gsf_outfile_msole_new(sink.get()));
    if (!ole)
        return TWorkbookResult::Failure("не удалось создать составной файл");
    TGsfPtr<GsfOutput> book(gsf_outfile_new_child(ole.get(), "Book", FALSE));
    bool ok = book && gsf_output_write(book.get(), stream.size(),
                                       reinterpret_cast<const guint8*>(stream.data()));
    ok = book && gsf_output_close(book.get()) && ok;
    ok = gsf_output_close(GSF_OUTPUT(ole.get())) && ok;
    if (!ok)
        return TWorkbookResult::Failure("не удалось собрать составной файл книги");
    auto* memory = GSF_OUTPUT_MEMORY(sink.get());
    const guint8* bytes = gsf_output_memory_get_bytes(memory);
    gsf_off_t size = gsf_output_size(sink.get());
    file.assign(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    return {};
}

TWorkbookResult ExtractWorkbookStream(std::string_view file, std::string& stream) {
    std::uint16_t first = file.size() >= 4 ? biff::GetU16(file.data()) : 0;
    if (first == biff::RecBof || first == biff::RecBof2 || first == biff::RecBof3 ||
        first == biff::RecBof4) {
        stream.assign(file);
        return {};
    }
    RegisterGsfTypes();
    TGsfPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(file.data()),
                                                 static_cast<gsf_off_t>(file.size()), FALSE));
    if (!input)
        return TWorkbookResult::Failure("не удалось прочитать файл");
    GError* rawError = nullptr;
    TGsfPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &rawError));
    std::unique_ptr<GError, TErrorFree> error(rawError);
    if (!ole)
        return TWorkbookResult::Failure("это не книга Excel: файл не является составным "
                                        "документом OLE2");
    // Names are compared without regard to case, as Windows does.
    TGsfPtr<GsfInput> found;
    for (const char* wanted : {"Workbook", "Book"}) {
        int count = gsf_infile_num_children(ole.get());
        for (int i = 0; i < count && !found; ++i) {
            const char* name = gsf_infile_name_by_index(ole.get(), i);
            if (name && !strcasecmp(name, wanted))
                found.reset(gsf_infile_child_by_index(ole.get(), i));
        }
        if (found)
            break;
    }
    if (!found)
        return TWorkbookResult::Failure("в файле нет книги Excel (нет потока Book или Workbook)");
    gsf_off_t size = gsf_input_size(found.get());
    if (size < 0 || static_cast<std::size_t>(size) > MaxStreamSize)
        return TWorkbookResult::Failure("книга Excel в файле слишком велика");
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !gsf_input_read(found.get(), static_cast<std::size_t>(size),
                                    reinterpret_cast<guint8*>(bytes.data())))
        return TWorkbookResult::Failure("файл книги повреждён (поток книги не читается)");
    stream = std::move(bytes);
    return {};
}

} // namespace virs
