// Hand-written .x texts shared by the xfile tests: quirks real exporters produce included.
#pragma once

namespace xtest {

// A skinned, animated cube under two frames; comments, exponents, a top-level material used by
// reference, a GUID-named frame referenced by GUID, exporter-style ';'/',' runs.
inline const char kSkinnedCube[] = R"(xof 0303txt 0032
# exported by hand
Header { 1; 0; 1; }

Material RedMat {   // top-level, used by reference below
  1.0;0.0;0.0;1.0;;
  5.0e0;
  0.0;0.0;0.0;;
  0.0;0.0;0.0;;
}

Frame Root {
  FrameTransformMatrix { 1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,2.5E+1,0.0,1.0;; }
  Frame Body {
    <11112222-3333-4444-5555-666677778888>
    FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 1,0,0,1;; }
    Mesh BodyMesh {
      8;
      -1.0;-1.0;-1.0;, 1.0;-1.0;-1.0;, 1.0;1.0;-1.0;, -1.0;1.0;-1.0;,
      -1.0;-1.0;1.0;, 1.0;-1.0;1.0;, 1.0;1.0;1.0;, -1.0;1.0;1.0;;
      6;
      4;0,3,2,1;, 4;4,5,6,7;, 4;0,1,5,4;, 4;1,2,6,5;, 4;2,3,7,6;, 4;3,0,4,7;,
      MeshMaterialList {
        2; 6; 0,0,1,1,0,1;;
        { RedMat }
        Material Blue {
          0.0;0.0;1.0;1.0;; 1.0; 0.5;0.5;0.5;; 0.0;0.0;0.0;;
          TextureFilename { "tex\\blue.bmp"; }
        }
      }
      MeshNormals {
        6;
        0;0;-1;, 0;0;1;, 0;-1;0;, 1;0;0;, 0;1;0;, -1;0;0;;
        6;
        4;0,0,0,0;, 4;1,1,1,1;, 4;2,2,2,2;, 4;3,3,3,3;, 4;4,4,4,4;, 4;5,5,5,5;;
      }
      MeshTextureCoords { 8; 0;0;, 1;0;, 1;1;, 0;1;, 0;0;, 1;0;, 1;1;, 0;1;; }
      XSkinMeshHeader { 2; 4; 2; }
      SkinWeights {
        "Body";
        8;
        0,1,2,3,4,5,6,7;
        1.0,1.0,0.5,0.5,1.0,1.0,0.25,0.25;
        1,0,0,0,0,1,0,0,0,0,1,0,-1,-25,0,1;;
      }
      SkinWeights {
        "Arm";
        4;
        2,3,6,7;
        0.5,0.5,0.75,0.75;
        1,0,0,0,0,1,0,0,0,0,1,0,0,-26,0,1;;
      }
    }
    Frame Arm {
      FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0,0,1,0,1;; }
    }
  }
}

AnimationSet Walk {
  Animation {
    { Body }
    AnimationKey { 0; 2; 0;4;1.0,0.0,0.0,0.0;;, 160;4;0.7071068,0.0,0.7071068,0.0;;; }
    AnimationKey { 2; 2; 0;3;1,0,0;;, 160;3;2,0,0;;; }
    AnimationOptions { 1; 0; }
  }
  Animation ArmAnim {
    { <11112222-3333-4444-5555-666677778888> }
    AnimationKey { 1; 1; 0;3;1.5e-1,1,1;;; }
  }
}
)";

}  // namespace xtest
