#include "settings/Registry.h"

namespace quorvel {

std::string KeyCreateFailedText(std::string_view Key) {
    return "キー " + std::string(Key) + " の作成に失敗しました";
}

std::string ValueSetFailedText(std::string_view Name) {
    return "'" + std::string(Name) + "' の設定に失敗しました";
}

std::string ValueGetFailedText(std::string_view Name) {
    return "'" + std::string(Name) + "' の取得に失敗しました";
}

std::string InvalidValueTypeText(std::string_view Name) {
    return "'" + std::string(Name) + "' のデータ型が不正です";
}

}  // namespace quorvel
