// Shape files: saving and loading a tree of 10 000 shapes of mixed classes (a component grid
// of balls, circles, rectangles and points), reported in bytes and shapes per second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "vimo/vimo.h"

namespace {

const int kShapes = 10000;

// One root frame, 99 ball arrays of 10 x 10 slots (balls, with a circle, rectangle or point
// in every tenth slot), 99 shapes in all per array plus the array: 1 + 99 * 101 = 10 000.
struct Tree {
  EFrameShape root{0, 0, 0, 1, 100, 100};
  std::vector<std::unique_ptr<EShape>> arrays, shapes;
  Tree() {
    for (int a = 0; a < 99; ++a) {
      auto array = std::make_unique<EBGAArray>();
      array->SetIndexed(10, 10);
      array->Attach(&root);
      for (unsigned slot = 0; slot < 100; ++slot) {
        std::unique_ptr<EShape> shape;
        if (slot % 10 == 1)
          shape = std::make_unique<ECircleShape>(1.0f * slot, 2, 3, 0, 1);
        else if (slot % 10 == 2)
          shape = std::make_unique<ERectangleShape>(1.0f * slot, 2, 3, 4, 5);
        else if (slot % 10 == 3)
          shape = std::make_unique<EPointShape>(1.0f * slot, 2);
        else
          shape = std::make_unique<EBGABall>(1.0f * slot, 2, 0.5f, 1, 0);
        shape->AttachIndexed(array.get(), slot);
        shapes.push_back(std::move(shape));
      }
      arrays.push_back(std::move(array));
    }
  }
  ~Tree() {
    // Daughters first, so that no array hands them back to VimoWorld one by one.
    shapes.clear();
    arrays.clear();
  }
};

std::string TreePath() { return "/tmp/vimo_bench_tree_" + std::to_string(::getpid()) + ".shp"; }

long FileSize(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 0;
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fclose(f);
  return size;
}

void BM_SaveTree(benchmark::State& state) {
  Tree tree;
  const std::string path = TreePath();
  for (auto _ : state) tree.root.Save(path.c_str(), 1);
  if (EGetError() != E_OK) state.SkipWithError("save failed");
  state.SetItemsProcessed(state.iterations() * kShapes);
  state.SetBytesProcessed(state.iterations() * FileSize(path));
  std::remove(path.c_str());
}

void BM_LoadTree(benchmark::State& state) {
  const std::string path = TreePath();
  {
    Tree tree;
    tree.root.Save(path.c_str(), 1);
  }
  for (auto _ : state) {
    EFrameShape loaded;
    loaded.Load(path.c_str(), 1);
    benchmark::DoNotOptimize(loaded.GetNumDaughters());
  }
  if (EGetError() != E_OK) state.SkipWithError("load failed");
  state.SetItemsProcessed(state.iterations() * kShapes);
  state.SetBytesProcessed(state.iterations() * FileSize(path));
  std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_SaveTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTree)->Unit(benchmark::kMillisecond);
