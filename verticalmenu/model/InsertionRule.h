// The one insertion rule the menu and item lists share.
#pragma once

#include <memory>
#include <vector>

// Appends when the list is empty or the number is one past the end, puts number 1 first, and
// otherwise inserts after element number - 1 (numbers from 1). Numbers beyond the end append.
template <typename T>
void insertByRule(std::vector<std::unique_ptr<T>>& list, std::unique_ptr<T> element, int number) {
    const int count = static_cast<int>(list.size());
    if (count == 0 || number == count + 1 || number > count) {
        list.push_back(std::move(element));
    } else if (number <= 1) {
        list.insert(list.begin(), std::move(element));
    } else {
        list.insert(list.begin() + (number - 1), std::move(element));
    }
}
